// The statistics answer turned into the host's flat key/value list: the list operations, the
// walk that builds raw keys from member names, codes, ranges and traffic directions, and the
// parse that ends with the output keys. Portable: nothing here needs Win32.
#include <charconv>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "provider/OutputKeys.h"
#include "provider/StatsStates.h"
#include "provider/StatsSession.h"

using provider::JsonValue;

namespace {

// Arrays of objects nest two deep in a real answer; the walk follows up to 32 levels of them, so a
// hostile answer cannot exhaust the stack, and goes no deeper.
constexpr int kMaxArrayDepth = 32;
// A real answer's keys hold about twice as many characters as the answer; eight times leaves room
// and keeps a long name repeated in many keys from growing the list quadratically.
constexpr std::size_t kKeyCharsPerBodyChar = 8;
constexpr std::size_t kKeyCharsBase = 64 * 1024;
// A prefix of fewer characters is not joined in front of a key.
constexpr std::size_t kMinJoinedPrefix = 2;
// Codes, ranges and directions of fewer characters select nothing.
constexpr std::size_t kMinSelector = 2;

std::string_view View(const JsonValue& string) { return {string.GetString(), string.GetStringLength()}; }

// Room for any number a value is printed as (the largest double has 309 integer digits), and for
// a 32-bit selector.
using NumberBuffer = char[400];
using SelectorBuffer = char[16];

template <class Number, std::size_t Size>
std::string_view Decimal(Number number, char (&buffer)[Size]) {
    const auto end = std::to_chars(buffer, buffer + Size, number).ptr;
    return {buffer, static_cast<std::size_t>(end - buffer)};
}

// "%.2f" without the C runtime's printf or locale: the same correctly rounded digits, '.' always.
// A double is m * 2^e exactly (m of 53 bits); for magnitudes from 2^-8 to 2^53, which hold every
// amount the service sends, the hundredths m * 100 / 2^-e are rounded to the nearest, ties to
// even, in 64-bit integers: what the general conversion does, only quicker. Others take it.
std::string_view FixedTwo(double number, NumberBuffer& buffer) {
    std::uint64_t bits;
    std::memcpy(&bits, &number, sizeof bits);
    const int field = static_cast<int>(bits >> 52 & 0x7FF);
    const int shift = 1075 - field;  // number = mantissa / 2^shift for a normal number
    if (field != 0 && shift >= 0 && shift <= 60) {
        const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{1} << 52;
        const std::uint64_t scaled = mantissa * 100;  // below 2^60
        std::uint64_t hundredths = scaled;
        if (shift > 0) {
            hundredths = scaled >> shift;
            const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
            const std::uint64_t half = std::uint64_t{1} << (shift - 1);
            if (rest > half || (rest == half && (hundredths & 1))) ++hundredths;
        }
        char* at = buffer;
        if (bits >> 63) *at++ = '-';
        at = std::to_chars(at, buffer + sizeof buffer, hundredths / 100).ptr;
        *at++ = '.';
        *at++ = static_cast<char>('0' + hundredths % 100 / 10);
        *at++ = static_cast<char>('0' + hundredths % 10);
        return {buffer, static_cast<std::size_t>(at - buffer)};
    }
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::fixed, 2).ptr;
    return {buffer, static_cast<std::size_t>(end - buffer)};
}

// A scalar member's text in the list: integers in millions (each division truncating toward
// zero, the whole 64-bit quotient printed), reals with two decimals, booleans as 0 or 1.
std::string_view ScalarText(const JsonValue& value, NumberBuffer& buffer) {
    if (value.IsString()) return View(value);
    if (value.IsBool()) return value.GetBool() ? "1" : "0";
    if (value.IsInt64()) return Decimal(value.GetInt64() / 1000 / 1000, buffer);
    if (value.IsUint64()) return Decimal(value.GetUint64() / 1000 / 1000, buffer);
    return FixedTwo(value.GetDouble(), buffer);
}

bool IsScalar(const JsonValue& value) { return value.IsString() || value.IsNumber() || value.IsBool(); }

// The text of the first member called `name` that is an integer (its low 32 bits) or a string.
std::string_view SelectorText(const JsonValue& object, std::string_view name, SelectorBuffer& buffer) {
    if (!object.IsObject()) return {};
    for (auto member = object.MemberBegin(); member != object.MemberEnd(); ++member) {
        if (View(member->name) != name) continue;
        const JsonValue& value = member->value;
        if (value.IsString()) return View(value);
        if (value.IsInt64())
            return Decimal(static_cast<std::int32_t>(static_cast<std::uint64_t>(value.GetInt64())), buffer);
        if (value.IsUint64()) return Decimal(static_cast<std::int32_t>(value.GetUint64()), buffer);
    }
    return {};
}

std::string_view DirectionClass(std::string_view direction) {
    for (std::string_view name : {std::string_view("UkrEx"), std::string_view("SatEx")}) {
        if (direction.find(name) != std::string_view::npos) return name;
    }
    return "AllEx";
}

int Length(std::string_view text) { return static_cast<int>(text.size()); }

// The first value stored under `rawKey`, scanning the keys from the start; null when none.
const kit::String* FirstValue(const host::StatsValueList& list, std::string_view rawKey) {
    const int count = list.keys.GetSize();
    for (int i = 0; i < count; ++i) {
        if (list.keys[i].view() == rawKey) return &list.values[i];
    }
    return nullptr;
}

// Fingerprints of the list's keys, index for index: a key's length and two of its characters. A
// lookup of the output-key table is still one scan of the keys from the start, but over these
// words, which lie side by side, where the keys' headers lie all over the heap; a key itself is
// compared only where its fingerprint matches. The walk and the table keep them in step with
// the list.
class KeyPrints {
public:
    static std::uint32_t Of(std::string_view key) {
        const std::size_t n = key.size();
        if (n == 0) return 0;
        return static_cast<std::uint32_t>(n & 0xFFFF) << 16 | static_cast<std::uint32_t>(Byte(key[n - 1])) << 8 |
               Byte(key[n / 2]);
    }

    explicit KeyPrints(const host::StatsValueList& list) {
        m_prints.reserve(static_cast<std::size_t>(list.keys.GetSize()));
        for (const kit::String& key : list.keys) Add(key.view());
    }

    void Add(std::string_view key) { m_prints.push_back(Of(key)); }

    // The first value stored under `rawKey`; null when none.
    const kit::String* First(const host::StatsValueList& list, std::string_view rawKey) const {
        if (m_prints.size() != static_cast<std::size_t>(list.keys.GetSize())) return FirstValue(list, rawKey);
        const std::uint32_t print = Of(rawKey);
        for (std::size_t i = 0; i < m_prints.size(); ++i) {
            const int at = static_cast<int>(i);
            if (m_prints[i] == print && list.keys[at].view() == rawKey) return &list.values[at];
        }
        return nullptr;
    }

private:
    static std::uint32_t Byte(char c) { return static_cast<unsigned char>(c); }

    std::vector<std::uint32_t> m_prints;
};

// The list's texts are carved from slabs, keys and values from slabs of their own: the key scans
// and the release of each array then each go through memory of one kind, in order.
struct ListSlabs {
    kit::StringSlab keys;
    kit::StringSlab values;
};

// AddPair for texts: the pair appended as the list's own two strings, each made once at its final
// length.
void AddTextPair(host::StatsValueList& list, ListSlabs& slabs, std::string_view key, std::string_view value,
                 int minLength, std::string_view defaultText) {
    const std::string_view stored = Length(value) > minLength ? value : defaultText;
    list.keys.AddText(key.data(), Length(key), slabs.keys);
    list.values.AddText(stored.data(), Length(stored), slabs.values);
}

// The walk over one answer. Every key is built in one buffer: the prefix of the object being
// walked is key[from, to), the buffer ends at `to`, and a callee appends behind it and cuts the
// buffer back when it returns. Keys are measured against the budget before they are built. Without
// a list the walk still spends the budget, as the list operations then add nothing.
class Walk {
public:
    Walk(host::StatsValueList* list, FlattenBudget& budget, ListSlabs& slabs, KeyPrints* prints = nullptr)
        : m_list(list), m_budget(budget), m_slabs(slabs), m_prints(prints) {}

    void Object(const JsonValue& object, std::string_view prefix) { Object(object, 0, Start(prefix)); }
    void Scalars(const JsonValue& object, std::string_view prefix) { Scalars(object, 0, Start(prefix)); }
    void Array(const JsonValue& array, std::string_view name, std::string_view prefix) {
        Array(array, name, 0, Start(prefix));
    }
    void Element(const JsonValue& element, std::string_view name, std::string_view prefix) {
        Element(element, name, 0, Start(prefix));
    }

private:
    std::size_t Start(std::string_view prefix) {
        m_key.assign(prefix);
        return m_key.size();
    }

    void Object(const JsonValue& object, std::size_t from, std::size_t to) {
        if (!object.IsObject()) return;
        const bool longPrefix = to - from >= kMinJoinedPrefix;
        for (auto member = object.MemberBegin(); member != object.MemberEnd(); ++member) {
            const JsonValue& value = member->value;
            if (value.IsString() || value.IsNumber()) {
                // The first scalar adds all of the object's scalars and ends its walk.
                Scalars(object, longPrefix ? from : to, to);
                return;
            }
            if (value.IsObject()) {
                std::size_t start;
                if (Join(from, to, {View(member->name)}, start)) Scalars(value, start, m_key.size());
                m_key.resize(to);
            } else if (value.IsArray()) {
                Array(value, View(member->name), from, to);
            }
        }
    }

    // Every scalar member as prefix + "_" + its name, the prefix being key[from, to).
    void Scalars(const JsonValue& object, std::size_t from, std::size_t to) {
        if (!object.IsObject()) return;
        NumberBuffer number;
        for (auto member = object.MemberBegin(); member != object.MemberEnd(); ++member) {
            if (!IsScalar(member->value)) continue;
            const std::string_view name = View(member->name);
            if (!m_budget.Spend(to - from + 1 + name.size())) continue;
            m_key.resize(to);
            m_key += '_';
            m_key.append(name);
            if (!m_list) continue;
            const std::string_view key = std::string_view(m_key).substr(from);
            AddTextPair(*m_list, m_slabs, key, ScalarText(member->value, number), 0, provider::kNoValue);
            if (m_prints) m_prints->Add(key);
        }
        m_key.resize(to);
    }

    void Array(const JsonValue& array, std::string_view name, std::size_t from, std::size_t to) {
        if (m_budget.depthLeft <= 0) return;
        --m_budget.depthLeft;
        for (auto element = array.Begin(); element != array.End(); ++element) {
            if (element->IsObject()) Element(*element, name, from, to);
        }
        ++m_budget.depthLeft;
    }

    // One object of an array: selected by its "code", or a traffic range whose rows (the array in
    // the element's second member) are walked by direction class.
    void Element(const JsonValue& element, std::string_view name, std::size_t from, std::size_t to) {
        SelectorBuffer codeText;
        std::string_view code = SelectorText(element, "code", codeText);
        if (code.empty()) {
            code = SelectorText(element, "range", codeText);
            if (code.size() >= kMinSelector) {
                const std::string_view range = code;
                code = {};
                if (element.MemberCount() < 2) return;
                const JsonValue& rows = (element.MemberBegin() + 1)->value;
                if (!rows.IsArray()) return;
                SelectorBuffer directionText;
                for (auto row = rows.Begin(); row != rows.End(); ++row) {
                    if (!row->IsObject()) continue;
                    const std::string_view direction = SelectorText(*row, "direction", directionText);
                    if (direction.size() < kMinSelector) continue;
                    std::size_t start;
                    if (Join(from, to, {name, "_", range, "_rows_", DirectionClass(direction)}, start))
                        Object(*row, start, m_key.size());
                    m_key.resize(to);
                }
            }
        }
        if (code.size() >= kMinSelector) {
            std::size_t start;
            if (Join(from, to, {name, "_", code}, start)) Object(element, start, m_key.size());
            m_key.resize(to);
        }
    }

    // K (given in parts) joined to the prefix key[from, to): K alone under a short prefix, else
    // prefix + "_" + K. The joined key is key[start, end of buffer) when the budget allows it.
    bool Join(std::size_t from, std::size_t to, std::initializer_list<std::string_view> parts, std::size_t& start) {
        const bool longPrefix = to - from >= kMinJoinedPrefix;
        std::size_t length = longPrefix ? to - from + 1 : 0;
        for (std::string_view part : parts) length += part.size();
        if (!m_budget.Spend(length)) return false;
        start = longPrefix ? from : to;
        if (longPrefix) m_key += '_';
        for (std::string_view part : parts) m_key.append(part);
        return true;
    }

    host::StatsValueList* m_list;
    FlattenBudget& m_budget;
    ListSlabs& m_slabs;
    KeyPrints* m_prints;
    std::string m_key;
};

// MapKey for a key of the table. The found value's text lies in its block, which stays where it
// is while the arrays grow.
void MapTableKey(host::StatsValueList& list, ListSlabs& slabs, KeyPrints& prints, std::string_view rawKey,
                 std::string_view outputKey, int minLength) {
    const kit::String* value = prints.First(list, rawKey);
    if (!value) return;
    AddTextPair(list, slabs, outputKey, value->view(), minLength, provider::kNoValue);
    prints.Add(outputKey);
}

}  // namespace

FlattenBudget FlattenBudget::ForBody(std::size_t bodyLength) {
    const std::size_t most = std::numeric_limits<std::size_t>::max();
    const std::size_t chars = bodyLength > (most - kKeyCharsBase) / kKeyCharsPerBodyChar
                                  ? most
                                  : bodyLength * kKeyCharsPerBodyChar + kKeyCharsBase;
    return {kMaxArrayDepth, chars};
}

bool FlattenBudget::Spend(std::size_t chars) {
    if (chars > keyCharsLeft) return false;
    keyCharsLeft -= chars;
    return true;
}

void CStatsSession::AddPair(const kit::String& key, const kit::String& value, int minLength,
                            const kit::String& defaultText) {
    if (!valueList) return;
    // An empty default stores the empty text. Add copies before it grows, so that `value` may be
    // an element of the list itself.
    valueList->keys.Add(key);
    valueList->values.Add(value.GetLength() > minLength ? value : defaultText);
}

void CStatsSession::MapKey(const kit::String& rawKey, const kit::String& outputKey, int minLength) {
    if (!valueList) return;
    const kit::String* value = FirstValue(*valueList, rawKey.view());
    if (value) AddPair(outputKey, *value, minLength, provider::kNoValue);
}

kit::String CStatsSession::GetValueByKey(const JsonValue& object, const char* name) {
    SelectorBuffer buffer;
    return kit::String(SelectorText(object, name, buffer));
}

void CStatsSession::AddScalars(const JsonValue& object, const kit::String& prefix, FlattenBudget& budget) {
    ListSlabs slabs;
    Walk(valueList ? &*valueList : nullptr, budget, slabs).Scalars(object, prefix.view());
}

void CStatsSession::FlattenObject(const JsonValue& object, const kit::String& prefix, FlattenBudget& budget) {
    ListSlabs slabs;
    Walk(valueList ? &*valueList : nullptr, budget, slabs).Object(object, prefix.view());
}

void CStatsSession::FlattenArray(const JsonValue& array, std::string_view name, const kit::String& prefix,
                                 FlattenBudget& budget) {
    ListSlabs slabs;
    Walk(valueList ? &*valueList : nullptr, budget, slabs).Array(array, name, prefix.view());
}

void CStatsSession::FlattenElement(const JsonValue& element, std::string_view name, const kit::String& prefix,
                                   FlattenBudget& budget) {
    ListSlabs slabs;
    Walk(valueList ? &*valueList : nullptr, budget, slabs).Element(element, name, prefix.view());
}

int CStatsSession::ParseStats(const kit::String& body) {
    // Iterative: no recursion however deep the text nests. Text after the object is not read.
    // (RapidJSON's full-precision number path misbehaves on a zero with a large exponent; the
    // default path is exact for the short decimals the service sends.)
    constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseStopWhenDoneFlag;
    provider::JsonDocument document;
    document.Parse<kFlags>(body.c_str(), static_cast<std::size_t>(body.GetLength()));
    if (document.HasParseError()) {
        // RapidJSON stops at a raw control byte inside a string, and only there do the body and
        // its escaped copy differ in what the parse reads: the copy is made and read only then.
        std::string escaped;
        if (provider::EscapeRawControlBytes(body.view(), escaped)) document.Parse<kFlags>(escaped.data(), escaped.size());
    }
    // Anything but an object at the top (a broken or cut text, an array, a byte-order mark in
    // front) is no statistics: the list stays as it was and the host keeps the figures it has.
    if (document.HasParseError() || !document.IsObject()) return provider::StateNotRecognised;
    if (!valueList) return provider::StateStatsGathered;
    host::StatsValueList& list = *valueList;
    KeyPrints prints(list);
    ListSlabs slabs;
    FlattenBudget budget = FlattenBudget::ForBody(static_cast<std::size_t>(body.GetLength()));
    Walk(&list, budget, slabs, &prints).Object(document, {});
    for (std::size_t i = 0; i < provider::kOutputKeyCount; ++i) {
        const provider::OutputKey& row = provider::kOutputKeys[i];
        if (row.rawKey) {
            MapTableKey(list, slabs, prints, row.rawKey, row.key, row.minLength);
        } else {
            AddTextPair(list, slabs, row.key, row.caption, row.minLength, provider::kNoValue);
            prints.Add(row.key);
        }
    }
    return provider::StateStatsGathered;
}
