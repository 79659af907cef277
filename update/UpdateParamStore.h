// The update window's named parameters: an ordered array of UpdateParam records held by value, in
// the order of their first setting, each name once. Names are matched byte for byte.
#pragma once
#include <vector>

#include "update/UpdateMessages.h"

class CUpdateParamStore {
public:
    kit::String GetText(const char* name) const;  // "" for an unknown name
    int GetNumber2(const char* name) const;       // 0 for an unknown name
    // Replaces all five fields of the entry with that name, or appends one; returns its index.
    int Set(const char* name, const char* text, int number, int number2, double real);
    int SetFrom(const UpdateParam& param);
    // BGCOLOR black, TEXTCOLOR the system's button-shadow colour.
    void SetDefaults();
    size_t Size() const { return m_params.size(); }
    const UpdateParam& At(size_t index) const { return m_params[index]; }

private:
    const UpdateParam* Find(const char* name) const;
    std::vector<UpdateParam> m_params;
};
