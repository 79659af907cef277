// The statistics answer turned into the host's flat key/value list: the list operations, the
// walk that builds raw keys from member names, codes, ranges and traffic directions, and the
// parse that ends with the output keys. Portable: nothing here needs Win32.
#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>

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
constexpr int kMinJoinedPrefix = 2;
// Codes, ranges and directions of fewer characters select nothing.
constexpr int kMinSelector = 2;

std::string_view View(const JsonValue& string) { return {string.GetString(), string.GetStringLength()}; }

kit::String Text(std::string_view text) { return kit::String(text); }

template <class Number>
kit::String Decimal(Number number) {
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
    return Text({buffer, static_cast<std::size_t>(end - buffer)});
}

// "%.2f" without the C runtime's printf or locale: the same correctly rounded digits, '.' always.
kit::String FixedTwo(double number) {
    char buffer[400];  // the largest double has 309 integer digits
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::fixed, 2).ptr;
    return Text({buffer, static_cast<std::size_t>(end - buffer)});
}

// A scalar member's text in the list: integers in millions (each division truncating toward
// zero, the whole 64-bit quotient printed), reals with two decimals, booleans as 0 or 1.
kit::String ScalarText(const JsonValue& value) {
    if (value.IsString()) return Text(View(value));
    if (value.IsBool()) return value.GetBool() ? "1" : "0";
    if (value.IsInt64()) return Decimal(value.GetInt64() / 1000 / 1000);
    if (value.IsUint64()) return Decimal(value.GetUint64() / 1000 / 1000);
    return FixedTwo(value.GetDouble());
}

bool IsScalar(const JsonValue& value) { return value.IsString() || value.IsNumber() || value.IsBool(); }

// Builds the concatenation of `parts` into `key` when the budget allows it.
bool BuildKey(FlattenBudget& budget, kit::String& key, std::initializer_list<std::string_view> parts) {
    std::size_t length = 0;
    for (std::string_view part : parts) length += part.size();
    if (!budget.Spend(length)) return false;
    key.Empty();
    for (std::string_view part : parts) key.Append(part.data(), static_cast<int>(part.size()));
    return true;
}

// K joined to the prefix P: K alone under a short prefix, else P + "_" + K (K given in parts).
bool JoinKey(FlattenBudget& budget, kit::String& key, const kit::String& prefix,
             std::initializer_list<std::string_view> parts) {
    if (prefix.GetLength() < kMinJoinedPrefix) return BuildKey(budget, key, parts);
    std::size_t length = static_cast<std::size_t>(prefix.GetLength()) + 1;
    for (std::string_view part : parts) length += part.size();
    if (!budget.Spend(length)) return false;
    key = prefix;
    key += '_';
    for (std::string_view part : parts) key.Append(part.data(), static_cast<int>(part.size()));
    return true;
}

std::string_view DirectionClass(std::string_view direction) {
    for (std::string_view name : {std::string_view("UkrEx"), std::string_view("SatEx")}) {
        if (direction.find(name) != std::string_view::npos) return name;
    }
    return "AllEx";
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
    kit::String stored;
    if (!defaultText.IsEmpty()) stored = defaultText;
    if (value.GetLength() > minLength) stored = value;
    valueList->keys.Add(key);
    valueList->values.Add(stored);
}

void CStatsSession::MapKey(const kit::String& rawKey, const kit::String& outputKey, int minLength) {
    if (!valueList) return;
    const int count = valueList->keys.GetSize();
    for (int i = 0; i < count; ++i) {
        if (valueList->keys[i] == rawKey) {
            const kit::String value = valueList->values[i];  // AddPair grows the array it lives in
            AddPair(outputKey, value, minLength, provider::kNoValue);
            return;
        }
    }
}

kit::String CStatsSession::GetValueByKey(const JsonValue& object, const char* name) {
    if (!object.IsObject()) return kit::String();
    const std::string_view wanted(name);
    for (auto member = object.MemberBegin(); member != object.MemberEnd(); ++member) {
        if (View(member->name) != wanted) continue;
        const JsonValue& value = member->value;
        if (value.IsString()) return Text(View(value));
        if (value.IsInt64()) return Decimal(static_cast<std::int32_t>(static_cast<std::uint64_t>(value.GetInt64())));
        if (value.IsUint64()) return Decimal(static_cast<std::int32_t>(value.GetUint64()));
    }
    return kit::String();
}

void CStatsSession::AddScalars(const JsonValue& object, const kit::String& prefix, FlattenBudget& budget) {
    if (!object.IsObject()) return;
    kit::String key;
    for (auto member = object.MemberBegin(); member != object.MemberEnd(); ++member) {
        if (!IsScalar(member->value)) continue;
        if (!BuildKey(budget, key, {prefix.view(), "_", View(member->name)})) continue;
        AddPair(key, ScalarText(member->value), 0, provider::kNoValue);
    }
}

void CStatsSession::FlattenObject(const JsonValue& object, const kit::String& prefix, FlattenBudget& budget) {
    if (!object.IsObject()) return;
    for (auto member = object.MemberBegin(); member != object.MemberEnd(); ++member) {
        const JsonValue& value = member->value;
        if (value.IsString() || value.IsNumber()) {
            // The first scalar adds all of the object's scalars and ends its walk.
            AddScalars(object, prefix.GetLength() >= kMinJoinedPrefix ? prefix : kit::String(), budget);
            return;
        }
        if (value.IsObject()) {
            kit::String key;
            if (JoinKey(budget, key, prefix, {View(member->name)})) AddScalars(value, key, budget);
        } else if (value.IsArray()) {
            FlattenArray(value, View(member->name), prefix, budget);
        }
    }
}

void CStatsSession::FlattenArray(const JsonValue& array, std::string_view name, const kit::String& prefix,
                                 FlattenBudget& budget) {
    if (budget.depthLeft <= 0) return;
    --budget.depthLeft;
    for (auto element = array.Begin(); element != array.End(); ++element) {
        if (element->IsObject()) FlattenElement(*element, name, prefix, budget);
    }
    ++budget.depthLeft;
}

// One object of an array: selected by its "code", or a traffic range whose rows (the array in
// the element's second member) are walked by direction class.
void CStatsSession::FlattenElement(const JsonValue& element, std::string_view name, const kit::String& prefix,
                                   FlattenBudget& budget) {
    kit::String code = GetValueByKey(element, "code");
    if (code.IsEmpty()) {
        code = GetValueByKey(element, "range");
        if (code.GetLength() >= kMinSelector) {
            const kit::String range = code;
            code.Empty();
            if (element.MemberCount() < 2) return;
            const JsonValue& rows = (element.MemberBegin() + 1)->value;
            if (!rows.IsArray()) return;
            kit::String key;
            for (auto row = rows.Begin(); row != rows.End(); ++row) {
                if (!row->IsObject()) continue;
                const kit::String direction = GetValueByKey(*row, "direction");
                if (direction.GetLength() < kMinSelector) continue;
                if (!JoinKey(budget, key, prefix, {name, "_", range.view(), "_rows_", DirectionClass(direction.view())}))
                    continue;
                FlattenObject(*row, key, budget);
            }
        }
    }
    if (code.GetLength() >= kMinSelector) {
        kit::String key;
        if (JoinKey(budget, key, prefix, {name, "_", code.view()})) FlattenObject(element, key, budget);
    }
}

int CStatsSession::ParseStats(const kit::String& body) {
    std::string escaped;
    const std::string_view text = provider::EscapeRawControlBytes(body.view(), escaped) ? escaped : body.view();
    provider::JsonDocument document;
    // Iterative: no recursion however deep the text nests. Text after the object is not read.
    // (RapidJSON's full-precision number path misbehaves on a zero with a large exponent; the
    // default path is exact for the short decimals the service sends.)
    document.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseStopWhenDoneFlag>(text.data(), text.size());
    if (!document.HasParseError() && document.IsObject()) {
        FlattenBudget budget = FlattenBudget::ForBody(static_cast<std::size_t>(body.GetLength()));
        FlattenObject(document, kit::String(), budget);
    }
    for (std::size_t i = 0; i < provider::kOutputKeyCount; ++i) {
        const provider::OutputKey& row = provider::kOutputKeys[i];
        if (row.rawKey) MapKey(row.rawKey, row.key, row.minLength);
        else AddPair(row.key, row.caption, row.minLength, provider::kNoValue);
    }
    return provider::StateStatsGathered;
}
