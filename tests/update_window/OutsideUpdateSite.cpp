// An update site of the local test services outside Wine (see OutsideUpdateSite.h).
#include "tests/update_window/OutsideUpdateSite.h"

#include <cstdio>
#include <stdexcept>

#include <rapidjson/document.h>

#include "tests/support/Services.h"

namespace updatetest {

namespace {

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Texts of the routes are paths and hex: nothing a JSON string must escape but these.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

const char* ModeName(Route::Mode mode) {
    switch (mode) {
    case Route::Whole: return "whole";
    case Route::CutOff: return "cutoff";
    case Route::Reset: return "reset";
    default: throw std::invalid_argument("the site outside Wine neither stalls nor pauses");
    }
}

const char* LengthName(Route::Length length) {
    switch (length) {
    case Route::CloseEnds: return "close";
    case Route::Chunked: return "chunked";
    default: return "announced";
    }
}

const char* ValidatorsName(Route::Validators validators) {
    switch (validators) {
    case Route::Both: return "both";
    case Route::DateOnly: return "date";
    default: return "none";
    }
}

rapidjson::Document Json(const std::string& text) {
    rapidjson::Document document;
    document.Parse(text.c_str());
    if (document.HasParseError()) throw std::runtime_error("bad answer of the update sites: " + text);
    return document;
}

std::string Exchange(const std::string& method, const std::string& target, const std::string& body = {}) {
    const auto [status, answer] = testsupport::Services::Get().RawExchange(method, target, body);
    if (status != 200) throw std::runtime_error(method + " " + target + " gave " + std::to_string(status) + ": " + answer);
    return answer;
}

}  // namespace

OutsideUpdateSite::OutsideUpdateSite() {
    const rapidjson::Document made = Json(Exchange("POST", "/_sites"));
    if (!made.IsObject() || !made.HasMember("site") || !made["site"].IsString() || !made.HasMember("port") ||
        !made["port"].IsInt())
        throw std::runtime_error("the services made no update site");
    m_id = made["site"].GetString();
    m_port = static_cast<unsigned short>(made["port"].GetInt());
}

OutsideUpdateSite::~OutsideUpdateSite() {
    try {
        Exchange("POST", "/_sites/" + m_id + "/close");
    } catch (const std::exception&) {
        // The services ended first: so did the site.
    }
}

std::string OutsideUpdateSite::FolderUrl(const std::string& folder) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/" + folder + "/";
}

void OutsideUpdateSite::Set(const std::string& path, Route route) {
    if (route.answerDelay || route.holdRanges) throw std::invalid_argument("the site outside Wine answers at once");
    char numbers[256];
    std::snprintf(numbers, sizeof numbers,
                  "\"status\": %d, \"breakAt\": %lu, \"cutAnswers\": %d, \"version\": %d, \"downAfter\": %lu, "
                  "\"rangeWhole\": %s, \"ignoreIfRange\": %s, \"newVersions\": %d",
                  route.status, static_cast<unsigned long>(route.breakAt), route.cutAnswers, route.version,
                  static_cast<unsigned long>(route.downAfter), route.rangeWhole ? "true" : "false",
                  route.ignoreIfRange ? "true" : "false", route.newVersions);
    const std::string json = "{\"path\": " + Quoted(path) + ", \"mode\": " + Quoted(ModeName(route.mode)) +
                             ", \"validators\": " + Quoted(ValidatorsName(route.validators)) +
                             ", \"length\": " + Quoted(LengthName(route.length)) + ", " + numbers +
                             ", \"body\": " + Quoted(Hex(route.body)) +
                             ", \"changedBody\": " + Quoted(Hex(route.changedBody)) + "}";
    Exchange("POST", "/_sites/" + m_id + "/route", json);
}

std::vector<OutsideUpdateSite::Record> OutsideUpdateSite::Records() const {
    const rapidjson::Document list = Json(Exchange("GET", "/_sites/" + m_id + "/requests"));
    if (!list.IsArray()) throw std::runtime_error("the update site's records are no list");
    std::vector<Record> records;
    for (const auto& entry : list.GetArray()) {
        Record r{entry["path"].GetString(), entry["range"].IsNull() ? -1 : entry["range"].GetInt64(),
                           entry["ifRange"].GetString()};
        records.push_back(std::move(r));
    }
    return records;
}

std::vector<std::string> OutsideUpdateSite::Requests() const {
    std::vector<std::string> paths;
    for (const auto& r : Records()) paths.push_back(r.path);
    return paths;
}

std::vector<std::string> OutsideUpdateSite::Ranges() const {
    std::vector<std::string> ranges;
    for (const auto& r : Records())
        if (r.range >= 0) ranges.push_back(r.path + " from " + std::to_string(r.range));
    return ranges;
}

std::vector<std::string> OutsideUpdateSite::IfRanges() const {
    std::vector<std::string> values;
    for (const auto& r : Records())
        if (r.range >= 0) values.push_back(r.ifRange);
    return values;
}

}  // namespace updatetest
