// Reading an RTF \object group: its class name, data and size are gathered while its
// \result text is read as usual; at the group's end the reader's embedObject hook may turn
// the whole group into one object placeholder in place of that text.

#include "platform/richedit/RtfParser.h"

using namespace rtfparse;

namespace {

// A class name is a short identifier; more than this is not one.
constexpr std::size_t MaxClassName = 256;

int HexValue(unsigned char b) {
    if (b >= '0' && b <= '9') {
        return b - '0';
    }
    b = static_cast<unsigned char>(b | 0x20);
    return b >= 'a' && b <= 'f' ? b - 'a' + 10 : -1;
}

// Cuts f back to its first n units, with the runs and paragraph formats of what goes.
void Truncate(TextFragment& f, std::size_t n) {
    const auto crs = std::count(f.text.begin() + std::ptrdiff_t(n), f.text.end(), u'\r');
    f.paraFormats.resize(f.paraFormats.size() -
                         std::min<std::size_t>(std::size_t(crs), f.paraFormats.size()));
    auto excess = std::int64_t(f.text.size() - n);
    while (excess > 0 && !f.runs.empty()) {
        const std::int64_t take = std::min(excess, f.runs.back().first);
        f.runs.back().first -= take;
        excess -= take;
        if (f.runs.back().first == 0) {
            f.runs.pop_back();
        }
    }
    std::erase_if(f.objects, [n](const auto& object) { return object.first >= std::int64_t(n); });
    f.text.resize(n);
}

} // namespace

bool RtfParser::ObjectDestination(std::string_view word) {
    if (word == "object") {
        if (!inObject_ && state_.dest == Dest::Body && options_.embedObject) {
            inObject_ = true;
            objectDepth_ = stack_.size();
            object_ = RtfObjectData{};
            object_.offset = std::int64_t(result_.fragment.text.size());
            objectNibble_ = -1;
        }
        return false; // the group's text reads as body text, as it always did
    }
    // Only the object group's own parts count, not those of an object in its result.
    if (!inObject_ || stack_.size() != objectDepth_ + 1) {
        return false;
    }
    if (word == "objclass") {
        state_.dest = Dest::ObjClass;
        return true;
    }
    if (word == "objdata") {
        state_.dest = Dest::ObjData;
        return true;
    }
    return false;
}

bool RtfParser::ObjectWord(std::string_view word, long long param) {
    if (!inObject_ || state_.dest != Dest::Body || stack_.size() != objectDepth_) {
        return false;
    }
    if (word == "objw") {
        object_.width = param;
        return true;
    }
    if (word == "objh") {
        object_.height = param;
        return true;
    }
    return false;
}

void RtfParser::ObjectByte(unsigned char b) {
    if (state_.dest == Dest::ObjClass) {
        if (b != ';' && object_.className.size() < MaxClassName) {
            object_.className.push_back(char(b));
        }
        return;
    }
    const int value = HexValue(b);
    if (value < 0) {
        return; // line breaks and blanks between the digits
    }
    if (objectNibble_ < 0) {
        objectNibble_ = value;
    } else {
        object_.data.push_back(char(objectNibble_ * 16 + value));
        objectNibble_ = -1;
    }
}

void RtfParser::ObjectBinary(std::string_view bytes) {
    object_.data.append(bytes);
}

void RtfParser::FinishObject() {
    inObject_ = false;
    RtfObjectData object = std::move(object_);
    object_ = RtfObjectData{};
    TextFragment& f = result_.fragment;
    const auto mark = std::size_t(object.offset);
    if (mark > f.text.size()) {
        return;
    }
    object.result = f.text.substr(mark);
    const std::int32_t id = options_.embedObject(object);
    if (id == 0) {
        return; // the result text stays
    }
    Truncate(f, mark);
    runId_ = -1;
    AppendChar(RichEditDocument::ObjectChar);
    f.objects.emplace_back(std::int64_t(mark), id);
}
