// Splits a URL into scheme, host, port, path, query and fragment as twelve byte offsets and lengths
// into the analysed text, without copying it: the client finds the server, the port, the object
// name and the place for request parameters through them. The scan is DBCS-aware for the given
// code page: a lead byte and the byte after it always stay together in one part.
#pragma once
#include <windows.h>

#include <cstring>

#include "httpclient/ArgumentChecks.h"
#include "httpclient/HttpTool.h"

namespace Tarvo {

template <class TTool>
class CHttpUrlAnalyzerT {
public:
    CHttpUrlAnalyzerT() = default;
    CHttpUrlAnalyzerT(const char* szUrl, UINT nCodePage) { Analyze(szUrl, nCodePage); }

    void Analyze(const char* szUrl, UINT nCodePage) {
        detail::ArgumentChecks<TTool>("CHttpUrlAnalyzerT", "Analyze").CodePage(nCodePage);
        *this = CHttpUrlAnalyzerT();
        if (!szUrl || !*szUrl) return;
        const Scan scan{szUrl, nCodePage};

        DWORD pos = 0;
        for (DWORD i = 0; szUrl[i]; i = scan.Next(i)) {
            if (szUrl[i] == ':' && szUrl[i + 1] == '/' && szUrl[i + 2] == '/') {
                m_nSchemeLen = i;
                pos = i + 3;
                break;
            }
        }

        // Host, then port after the first ':' (which belongs to neither), up to '/', '?' or '#';
        // then path, then query from the first '?' (which belongs to the query), up to '#'.
        m_nHostStart = pos;
        pos = scan.Split(pos, "/?#", ':', false, m_nHostLen, m_nPortStart, m_nPortLen);
        m_nPathStart = pos;
        pos = scan.Split(pos, "#", '?', true, m_nPathLen, m_nQueryStart, m_nQueryLen);

        m_nFragmentStart = pos;
        while (szUrl[pos]) pos = scan.Next(pos);
        m_nFragmentLen = pos - m_nFragmentStart;
    }

    DWORD GetSchemeStart() const { return m_nSchemeStart; }
    DWORD GetSchemeLength() const { return m_nSchemeLen; }
    DWORD GetHostStart() const { return m_nHostStart; }
    DWORD GetHostLength() const { return m_nHostLen; }
    DWORD GetPortStart() const { return m_nPortStart; }
    DWORD GetPortLength() const { return m_nPortLen; }
    DWORD GetPathStart() const { return m_nPathStart; }
    DWORD GetPathLength() const { return m_nPathLen; }
    DWORD GetQueryStart() const { return m_nQueryStart; }
    DWORD GetQueryLength() const { return m_nQueryLen; }
    DWORD GetFragmentStart() const { return m_nFragmentStart; }
    DWORD GetFragmentLength() const { return m_nFragmentLen; }

private:
    struct Scan {
        const char* text;
        UINT codePage;
        // The offset of the next character: a lead byte takes the byte after it along, unless
        // that byte is the NUL (a lead byte at the very end counts once).
        DWORD Next(DWORD i) const {
            if (::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[i])) && text[i + 1]) return i + 2;
            return i + 1;
        }
        // Counts the bytes from `pos` up to a stop byte or the end into two parts divided by the
        // first `separator`; the second part starts at the separator when it belongs to it, else
        // after it, and at the stop offset when there is no separator. Returns the stop offset.
        DWORD Split(DWORD pos, const char* stops, char separator, bool separatorInSecond, DWORD& firstLength,
                    DWORD& secondStart, DWORD& secondLength) const {
            bool inSecond = false;
            while (text[pos] && !std::strchr(stops, text[pos])) {
                DWORD next = Next(pos);
                if (!inSecond && text[pos] == separator) {
                    inSecond = true;
                    secondStart = separatorInSecond ? pos : pos + 1;
                    if (separatorInSecond) secondLength += next - pos;
                } else {
                    (inSecond ? secondLength : firstLength) += next - pos;
                }
                pos = next;
            }
            if (!inSecond) secondStart = pos;
            return pos;
        }
    };

    DWORD m_nSchemeStart = 0;
    DWORD m_nSchemeLen = 0;
    DWORD m_nHostStart = 0;
    DWORD m_nHostLen = 0;
    DWORD m_nPortStart = 0;
    DWORD m_nPortLen = 0;
    DWORD m_nPathStart = 0;
    DWORD m_nPathLen = 0;
    DWORD m_nQueryStart = 0;
    DWORD m_nQueryLen = 0;
    DWORD m_nFragmentStart = 0;
    DWORD m_nFragmentLen = 0;
};

}  // namespace Tarvo
