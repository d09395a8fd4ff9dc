#include "sound/MciCommands.h"

#include <cctype>
#include <vector>

namespace kr {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Words separated by blanks; a double-quoted word may hold blanks.
std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        if (i >= text.size()) break;
        std::string w;
        if (text[i] == '"') {
            size_t end = text.find('"', i + 1);
            if (end == std::string_view::npos) end = text.size();
            w = std::string(text.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])))
                w += text[i++];
        }
        words.push_back(std::move(w));
    }
    return words;
}

bool Has(const std::vector<std::string>& words, std::string_view word) {
    for (size_t i = 2; i < words.size(); ++i)
        if (Lower(words[i]) == word) return true;
    return false;
}

}  // namespace

MciCommands::Device* MciCommands::Find(const std::string& name) {
    auto it = devices_.find(Lower(name));
    return it == devices_.end() ? nullptr : &it->second;
}

MciCommands::Device* MciCommands::OpenFile(const std::string& file, std::string alias) {
    std::string key = Lower(alias.empty() ? file : alias);
    if (key == "cdaudio" || key == "all") return nullptr;  // not a file
    if (Device* d = Find(key)) return d;
    std::string path = map_path_ ? map_path_(file) : file;
    int32_t slot = sound_.LoadSlotFromFile(path, CSound::kNormal);
    if (slot < 0) return nullptr;
    if (sound_.SlotKind(slot) != CSound::kNormal) {  // not a sound this runner can read
        sound_.FreeSlot(slot);
        return nullptr;
    }
    Device& d = devices_[key];
    d.slot = slot;
    d.file = path;
    return &d;
}

void MciCommands::CloseAll() {
    for (auto& [name, d] : devices_) sound_.FreeSlot(d.slot);
    devices_.clear();
    cd_.Close();
}

std::string MciCommands::Send(std::string_view command) {
    std::vector<std::string> w = Words(command);
    if (w.size() < 2) return {};
    std::string verb = Lower(w[0]);
    const std::string& name = w[1];
    if (Lower(name) == "cdaudio") {
        for (std::string& word : w) word = Lower(word);
        return cd_.Command(w);
    }
    if (verb == "open") {
        std::string alias;
        for (size_t i = 2; i + 1 < w.size(); ++i)
            if (Lower(w[i]) == "alias") alias = w[i + 1];
        OpenFile(name, alias);
        return {};
    }
    if (verb == "close") {
        if (Lower(name) == "all") {
            CloseAll();
        } else if (Device* d = Find(name)) {
            sound_.FreeSlot(d->slot);
            devices_.erase(Lower(name));
        }
        return {};
    }
    Device* d = Find(name);
    // "play FILE" opens the file itself when no device has that name.
    if (!d && verb == "play") d = OpenFile(name, {});
    if (!d) return {};
    if (verb == "play") {
        bool from = Has(w, "from");
        if (sound_.SlotIsPaused(d->slot) && !from) {
            sound_.PauseSlot(d->slot, false);
        } else if (from || !sound_.SlotIsPlaying(d->slot)) {
            sound_.StopSlot(d->slot);
            sound_.PlaySlot(d->slot, Has(w, "repeat"));
        }
    } else if (verb == "stop" || verb == "seek") {
        sound_.StopSlot(d->slot);
    } else if (verb == "pause") {
        sound_.PauseSlot(d->slot, true);
    } else if (verb == "resume") {
        sound_.PauseSlot(d->slot, false);
    } else if (verb == "status" && w.size() >= 3) {
        std::string what = Lower(w[2]);
        if (what == "mode")
            return sound_.SlotIsPaused(d->slot)    ? "paused"
                   : sound_.SlotIsPlaying(d->slot) ? "playing"
                                                   : "stopped";
        if (what == "length") return std::to_string(sound_.SlotLengthMs(d->slot));
        if (what == "ready") return "true";
    }
    return {};
}

}  // namespace kr
