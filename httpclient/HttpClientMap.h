// The HTTP client's ordered multimap from names to texts: the client's request headers and request
// parameters, and every response's header cache. Names order case-insensitively (the tool's
// IsNameLess), entries under one name keep the order in which they were added, and the map owns
// every name and value text it holds (C runtime heap blocks, released with free).
#pragma once
#include <windows.h>

#include <cstdlib>
#include <exception>
#include <iterator>
#include <map>

#include "httpclient/ArgumentChecks.h"
#include "httpclient/HttpOwners.h"
#include "httpclient/HttpTool.h"

namespace Tarvo {

// Flags of a map entry. Headers and the response's header cache store 0.
enum HttpClientMapFlag : DWORD {
    HTTPCLIENT_PARAM_FILE = 0x1,           // the parameter is a file to upload
    HTTPCLIENT_PARAM_ENCODED_NAME = 0x2,   // the name is already URL-encoded and is sent unchanged
    HTTPCLIENT_PARAM_ENCODED_VALUE = 0x4,  // the value is already URL-encoded and is sent unchanged
};

template <class TTool>
class CHttpClientMapT {
public:
    struct MapValue {
        const char* szValue;
        DWORD dwFlags;
    };

private:
    struct NameLess {
        bool operator()(const char* a, const char* b) const { return TTool::IsNameLess(a, b); }
    };
    using Map = std::multimap<const char*, MapValue, NameLess>;

public:
    using ConstIterator = typename Map::const_iterator;  // ->first name, ->second.szValue, .dwFlags

    CHttpClientMapT() = default;
    CHttpClientMapT(const CHttpClientMapT&) = delete;
    CHttpClientMapT& operator=(const CHttpClientMapT&) = delete;
    virtual ~CHttpClientMapT() { Clear(); }

    void Add(const char* szName, const char* szValue, DWORD dwFlags = 0) {
        Checks("Add").NotNull(szName, "szName");
        HeapText name(DuplicateText<TTool>(szName));
        HeapText value(szValue ? DuplicateText<TTool>(szValue) : nullptr);
        AddPointerDirectly(name.get(), value.get(), dwFlags);
        name.release();
        value.release();
    }

    // Takes ownership of both texts once it returns; when it throws they stay the caller's.
    void AddPointerDirectly(char* szName, char* szValue, DWORD dwFlags = 0) {
        Checks("AddPointerDirectly").NotNull(szName, "szName");
        TTool::CheckedAdd(m_map.size(), 1);
        try {
            // A multimap inserts after the entries already there under an equal name.
            m_map.insert(typename Map::value_type(szName, MapValue{szValue, dwFlags}));
        } catch (const std::exception& e) {
            TTool::RaiseClientError(e.what(), HTTPCLIENT_ERR_STD_EXCEPTION);
        } catch (...) {
            TTool::RaiseClientError(HTTPCLIENT_ERR_UNEXPECTED_ERROR);
        }
    }

    // The nIdx-th entry of the name in insertion order, {null, 0} when there is none; a stored
    // null value reads as "".
    MapValue Get(const char* szName, DWORD nIdx = 0) const {
        Checks("Get").NotNull(szName, "szName");
        auto range = m_map.equal_range(szName);
        for (auto it = range.first; it != range.second; ++it, --nIdx) {
            if (nIdx == 0) return MapValue{it->second.szValue ? it->second.szValue : "", it->second.dwFlags};
        }
        return MapValue{nullptr, 0};
    }

    const char* GetValue(const char* szName, DWORD nIdx = 0) const { return Get(szName, nIdx).szValue; }

    BOOL RemoveAll(const char* szName) {
        Checks("RemoveAll").NotNull(szName, "szName");
        auto range = m_map.equal_range(szName);
        return Erase(range.first, range.second);
    }

    BOOL Clear() { return Erase(m_map.begin(), m_map.end()); }

    // Entries under the name; with null, all entries.
    DWORD Count(const char* szName = nullptr) const {
        return static_cast<DWORD>(szName ? m_map.count(szName) : m_map.size());
    }

    bool Empty() const { return m_map.empty(); }

    ConstIterator Begin() const { return m_map.begin(); }
    ConstIterator End() const { return m_map.end(); }
    ConstIterator begin() const { return Begin(); }
    ConstIterator end() const { return End(); }

private:
    static detail::ArgumentChecks<TTool> Checks(const char* op) { return {"CHttpClientMapT", op}; }

    // Erasing by position compares no names, so each name is freed right after its entry left.
    BOOL Erase(typename Map::iterator first, typename Map::iterator last) {
        if (first == last) return FALSE;
        while (first != last) {
            auto entry = first++;
            char* name = const_cast<char*>(entry->first);
            std::free(const_cast<char*>(entry->second.szValue));
            m_map.erase(entry);
            std::free(name);
        }
        return TRUE;
    }

    Map m_map;
};

}  // namespace Tarvo
