// The progress counters of a client's POST or upload context: the whole body length and what of it
// has been written, the parameter value bytes and parameters (files among them) started so far,
// and the name, file path and byte counts of the parameter being sent. A caller reads them between
// two ProceedRequest calls to show progress; only the client changes them, and every change is
// checked first: an inactive context or a counter that would overflow throws, and nothing changes.
#pragma once
#include <windows.h>

#include <cstring>
#include <utility>

#include "httpclient/ArgumentChecks.h"
#include "httpclient/HttpOwners.h"
#include "httpclient/HttpTool.h"

namespace Tarvo {

template <class TTool, class TEncoder>
class CHttpClientT;

namespace detail {
// A byte or entry count plus n; an overflow raises 112.
template <class TTool>
DWORD AddCount(DWORD count, DWORD n) {
    DWORD sum;
    if (__builtin_add_overflow(count, n, &sum)) TTool::RaiseArithmeticError(kArithmeticOverflow);
    return sum;
}
}  // namespace detail

template <class TTool>
class CHttpPostStatT {
public:
    CHttpPostStatT() = default;
    CHttpPostStatT(const CHttpPostStatT&) = delete;
    CHttpPostStatT& operator=(const CHttpPostStatT&) = delete;
    virtual ~CHttpPostStatT() = default;

    BOOL IsActive() const { return m_bIsActive; }

    DWORD ActualTotalByte() const { return Read("ActualTotalByte", m_cbActualTotal); }
    DWORD ActualPostedByte() const { return Read("ActualPostedByte", m_cbActualPosted); }
    DWORD TotalCount() const { return Read("TotalCount", m_nTotalCount); }
    DWORD PostedCount() const { return Read("PostedCount", m_nPostedCount); }
    DWORD FileCount() const { return Read("FileCount", m_nFileCount); }
    DWORD PostedFileCount() const { return Read("PostedFileCount", m_nPostedFileCount); }
    DWORD CurrParamTotalByte() const { return Read("CurrParamTotalByte", m_cbCurrParamTotal); }
    DWORD CurrParamPostedByte() const { return Read("CurrParamPostedByte", m_cbCurrParamPosted); }
    DWORD CurrParamRemainByte() const {
        return Read("CurrParamRemainByte", m_cbCurrParamTotal) - m_cbCurrParamPosted;
    }
    BOOL CurrParamIsFile() const { return Read("CurrParamIsFile", m_szCurrParamFilePath != nullptr); }
    BOOL CurrParamIsComplete() const {
        return Read("CurrParamIsComplete", m_cbCurrParamTotal == m_cbCurrParamPosted);
    }
    // The whole body, separators and part headers included, has been written.
    BOOL IsComplete() const { return Read("IsComplete", m_cbActualTotal == m_cbActualPosted); }

protected:
    template <class, class>
    friend class CHttpClientT;

    // A context begins: every counter but the totals starts at 0.
    void MakeActive(DWORD cbActualTotal, DWORD cbTotal, DWORD nTotalCount, DWORD nFileCount) {
        MakeInactive();
        m_bIsActive = TRUE;
        m_cbActualTotal = cbActualTotal;
        m_cbTotal = cbTotal;
        m_nTotalCount = nTotalCount;
        m_nFileCount = nFileCount;
    }

    // Separator and part-header bytes.
    void _TestAddActualPostedBytes(DWORD cb) const {
        RefuseInactive("_TestAddActualPostedBytes");
        Sum(m_cbActualPosted, cb);
    }
    void AddActualPostedBytes(DWORD cb) {
        _TestAddActualPostedBytes(cb);
        m_cbActualPosted += cb;
    }

    // Value bytes of the current parameter (they count to the body as well).
    void _TestAddPostedBytes(DWORD cb) const {
        RefuseInactive("_TestAddPostedBytes");
        Sum(m_cbPosted, cb);
        Sum(m_cbCurrParamPosted, cb);
        Sum(m_cbActualPosted, cb);
    }
    void AddPostedBytes(DWORD cb) {
        _TestAddPostedBytes(cb);
        m_cbPosted += cb;
        m_cbCurrParamPosted += cb;
        m_cbActualPosted += cb;
    }

    void _TestStartNewEntry(BOOL bIsFile) const {
        RefuseInactive("_TestStartNewEntry");
        Sum(m_nPostedCount, 1);
        if (bIsFile) Sum(m_nPostedFileCount, 1);
    }
    // The next parameter begins; a kept text is copied unless it has the bytes of the one kept.
    void StartNewEntry(const char* szName, DWORD cbTotal, BOOL bIsFile, const char* szFilePath) {
        _TestStartNewEntry(bIsFile);
        PendingText<TTool> name(m_szCurrParamName, szName);
        PendingText<TTool> path(m_szCurrParamFilePath, bIsFile ? szFilePath : nullptr);
        name.Commit();
        path.Commit();
        ++m_nPostedCount;
        if (bIsFile) ++m_nPostedFileCount;
        m_cbCurrParamTotal = cbTotal;
        m_cbCurrParamPosted = 0;
    }

    // Frees the kept texts; every field is 0 again.
    void MakeInactive() noexcept {
        m_szCurrParamName.reset();
        m_szCurrParamFilePath.reset();
        m_bIsActive = FALSE;
        m_cbActualTotal = m_cbActualPosted = m_cbTotal = m_cbPosted = 0;
        m_nTotalCount = m_nPostedCount = m_nFileCount = m_nPostedFileCount = 0;
        m_cbCurrParamTotal = m_cbCurrParamPosted = 0;
    }

    BOOL m_bIsActive = FALSE;
    DWORD m_cbActualTotal = 0;   // the whole body
    DWORD m_cbActualPosted = 0;
    DWORD m_cbTotal = 0;         // the parameter values
    DWORD m_cbPosted = 0;
    DWORD m_nTotalCount = 0;
    DWORD m_nPostedCount = 0;    // parameters started
    DWORD m_nFileCount = 0;
    DWORD m_nPostedFileCount = 0;
    HeapText m_szCurrParamName;
    HeapText m_szCurrParamFilePath;  // null unless the current parameter is a file
    DWORD m_cbCurrParamTotal = 0;
    DWORD m_cbCurrParamPosted = 0;

private:
    void RefuseInactive(const char* op) const {
        if (!m_bIsActive) detail::ArgumentChecks<TTool>("CHttpPostStatT", op).Refuse("", kNotActive);
    }
    template <class T>
    T Read(const char* op, T value) const {
        RefuseInactive(op);
        return value;
    }
    static void Sum(DWORD counter, DWORD cb) { detail::AddCount<TTool>(counter, cb); }
    static constexpr const char* kNotActive = "The post context is not active.";
};

}  // namespace Tarvo
