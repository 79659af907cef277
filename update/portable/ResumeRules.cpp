// Resumed downloads' rules (see ResumeRules.h).
#include "update/portable/ResumeRules.h"

#include <cctype>
#include <cstring>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a decimal number of at most 18 digits at `*text` and moves past it.
bool ReadNumber(const char** text, long long* value) {
    const char* p = *text;
    long long result = 0;
    int digits = 0;
    while (IsDigit(*p)) {
        if (++digits > 18) return false;
        result = result * 10 + (*p++ - '0');
    }
    if (digits == 0) return false;
    *value = result;
    *text = p;
    return true;
}

bool IsStrongTag(const std::string& etag) { return etag.size() >= 2 && etag.front() == '"' && etag.back() == '"'; }

}  // namespace

std::string IfRangeValidator(const BodyIdentity& body) {
    if (body.length < 0) return {};
    if (IsStrongTag(body.etag)) return body.etag;
    return body.lastModified;
}

bool ParseContentRange(const char* text, long long* first, long long* last, long long* total) {
    if (!text) return false;
    while (*text == ' ') ++text;
    static const char kUnit[] = "bytes";
    for (const char* unit = kUnit; *unit; ++unit, ++text) {
        if (std::tolower(static_cast<unsigned char>(*text)) != *unit) return false;
    }
    if (*text != ' ') return false;
    while (*text == ' ') ++text;
    if (!ReadNumber(&text, first) || *text++ != '-' || !ReadNumber(&text, last) || *text++ != '/' ||
        !ReadNumber(&text, total))
        return false;
    while (*text == ' ') ++text;
    return *text == '\0' && *first <= *last && *last < *total;
}

ResumeAnswer JudgeResumeAnswer(const BodyIdentity& body, long long offset, unsigned status, const char* contentRange,
                               const BodyIdentity& answer) {
    if (status == 200) return ResumeAnswer::Whole;
    if (status != 206) return ResumeAnswer::Again;
    long long first = 0, last = 0, total = 0;
    if (!ParseContentRange(contentRange, &first, &last, &total)) return ResumeAnswer::Again;
    if (first != offset || body.length < 0 || total != body.length) return ResumeAnswer::Again;
    // A server that ignored If-Range still names the version it sent.
    if (!answer.etag.empty() && !body.etag.empty() && answer.etag != body.etag) return ResumeAnswer::Again;
    if (!answer.lastModified.empty() && !body.lastModified.empty() && answer.lastModified != body.lastModified)
        return ResumeAnswer::Again;
    return ResumeAnswer::Rest;
}
