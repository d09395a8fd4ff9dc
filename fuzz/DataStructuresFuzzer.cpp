// Fuzzes the readers of the data structures' text form: the first byte picks the kind, the
// rest is the text handed to its reader. A structure that reads is written again and worked
// on, so that whatever state a text can produce (a queue's head and tail, unsorted map keys,
// a grid's size) meets the operations too.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "datastructures/DataStructures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    kr::DsComparison cmp;
    kr::Random rng;
    const kr::RValue probe(1.0), word("k");
    switch (data[0] % 6) {
        case 0: {
            kr::DsStack s;
            if (kr::DsReadText(text, s) != kr::DsReadResult::kRead) break;
            kr::DsWriteText(s);
            while (s.Size() > 0) s.Pop();
            break;
        }
        case 1: {
            kr::DsQueue q;
            if (kr::DsReadText(text, q) != kr::DsReadResult::kRead) break;
            kr::DsWriteText(q);
            q.Enqueue(probe);
            q.Head();
            q.Tail();
            while (q.Size() > 0) q.Dequeue();
            break;
        }
        case 2: {
            kr::DsList l;
            if (kr::DsReadText(text, l) != kr::DsReadResult::kRead) break;
            kr::DsWriteText(l);
            l.FindIndex(word, cmp);
            l.Sort(true, cmp);
            l.Sort(false, cmp);
            l.Shuffle(rng);
            break;
        }
        case 3: {
            kr::DsMap m(cmp);
            if (kr::DsReadText(text, m) != kr::DsReadResult::kRead) break;
            kr::DsWriteText(m);
            m.FindPrevious(word);
            m.FindNext(probe);
            m.Add(word, probe);
            while (m.Size() > 0 && m.Delete(m.First())) {
            }
            break;
        }
        case 4: {
            kr::DsPriority p(cmp);
            if (kr::DsReadText(text, p) != kr::DsReadResult::kRead) break;
            kr::DsWriteText(p);
            p.FindValue(word);
            while (p.Size() > 0) p.DeleteAt(p.MaxIndex());
            break;
        }
        case 5: {
            kr::DsGrid g;
            if (kr::DsReadText(text, g) != kr::DsReadResult::kRead) break;
            kr::DsWriteText(g);
            g.RegionStats(-1, -1, 1 << 20, 1 << 20);
            g.ApplyDisk(kr::DsCellOp::kAdd, 1.5, 1.5, 2, word);
            g.ApplyGridRegion(kr::DsCellOp::kAdd, g, 0, 0, 3, 3, 1, -1);
            g.Shuffle(rng);
            break;
        }
    }
    return 0;
}
