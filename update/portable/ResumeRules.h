// How the download worker asks for the rest of a body that was cut off, and how it knows that the
// answer is the rest of the same file: the range goes with If-Range and the first answer's
// validator, and a partial answer counts only when it starts at the bytes received and belongs to
// a body of the first answer's length (and validator, when it names one). Anything else brings
// the file again from its first byte, so that a file which changed on the server meanwhile is
// never saved as the old file's start and the new file's rest.
#pragma once
#include <string>

// What identifies the body of an answer that brought a file from its first byte.
struct BodyIdentity {
    long long length = -1;     // its Content-Length; -1 when it announced none
    std::string etag;          // its ETag as sent, or empty
    std::string lastModified;  // its Last-Modified as sent, or empty
};

// The If-Range value that vouches for the body: its ETag when that is a strong one, else its
// Last-Modified; empty when the body has neither (a range could then splice two versions, so
// only the whole file again is safe) or announced no length (a range's total cannot be checked).
std::string IfRangeValidator(const BodyIdentity& body);

// "bytes <first>-<last>/<total>" of a Content-Range header; false for anything else ("*" totals
// included).
bool ParseContentRange(const char* text, long long* first, long long* last, long long* total);

enum class ResumeAnswer {
    Rest,   // a 206 with the rest of the same body: append it
    Whole,  // a 200: the whole file from its first byte, possibly a new version of it
    Again,  // anything else: ask for the whole file again
};

// Judges the answer to a range from `offset` of `body`: its status, its Content-Range header
// (null when it sent none) and its own validators.
ResumeAnswer JudgeResumeAnswer(const BodyIdentity& body, long long offset, unsigned status, const char* contentRange,
                               const BodyIdentity& answer);
