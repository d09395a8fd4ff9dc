#include "graphics/Model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kr {

namespace {

// Reads whitespace-separated numbers in any notation that a C number reader takes (a leading
// '+' included); anything else is an error that stops the reading.
class NumberReader {
public:
    explicit NumberReader(std::string_view text) : text_(text) {}

    bool Next(double& out) {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
        size_t start = pos_;
        while (pos_ < text_.size() && !IsSpace(text_[pos_])) ++pos_;
        std::string_view token = text_.substr(start, pos_ - start);
        if (!token.empty() && token[0] == '+') token.remove_prefix(1);
        if (token.empty()) return false;
        auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), out);
        return ec == std::errc() && end == token.data() + token.size() && std::isfinite(out);
    }

    size_t Remaining() const { return text_.size() - pos_; }

private:
    static bool IsSpace(char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
    }

    std::string_view text_;
    size_t pos_ = 0;
};

int32_t RoundToInt(double v) {
    return int32_t(std::clamp(std::nearbyint(v), -2147483648.0, 2147483647.0));
}

}  // namespace

void C3D_Model::Add(int32_t code, std::initializer_list<double> values) {
    ModelCommand c;
    c.code = code;
    size_t i = 0;
    for (double v : values) {
        if (i == 10) break;
        c.values[i++] = v;
    }
    commands_.push_back(c);
    ++revision_;
}

void C3D_Model::Clear() {
    commands_.clear();
    ++revision_;
}

std::string ModelValueText(double v) {
    char buffer[64];
    // A value just below the limit that rounds up to it takes the exponent form too, so that
    // a file read and written again stays the same.
    if (std::isfinite(v) && std::fabs(v) < 1e10) std::snprintf(buffer, sizeof buffer, "%.4f", v);
    if (!std::isfinite(v) || std::fabs(v) >= 1e10 ||
        std::fabs(std::strtod(buffer, nullptr)) >= 1e10)
        std::snprintf(buffer, sizeof buffer, "%.14E", v);
    // A value that rounds to zero is written without a sign.
    if (std::string_view(buffer) == "-0.0000") return "0.0000";
    return buffer;
}

std::string C3D_Model::ToText() const {
    std::string out = std::to_string(kFileVersion) + "\r\n";
    out += std::to_string(commands_.size()) + "\r\n";
    for (const ModelCommand& c : commands_) {
        out += std::to_string(c.code);
        for (double v : c.values) {
            out += ' ';
            out += ModelValueText(v);
        }
        out += "\r\n";
    }
    return out;
}

bool C3D_Model::FromText(std::string_view text) {
    Clear();
    NumberReader in(text);
    double version = 0, count = 0;
    if (!in.Next(version) || version != kFileVersion) return false;
    if (!in.Next(count)) return false;
    // Each command needs at least eleven numbers, each with a separator before it.
    constexpr size_t kLeastCommandText = 22;
    if (count < 0 || std::nearbyint(count) > double(in.Remaining() / kLeastCommandText))
        return false;
    commands_.resize(size_t(std::nearbyint(count)));
    for (ModelCommand& c : commands_) {
        double code = 0;
        if (!in.Next(code)) return false;
        c.code = RoundToInt(code);
        for (double& v : c.values)
            if (!in.Next(v)) {
                v = 0;
                return false;
            }
    }
    return true;
}

}  // namespace kr
