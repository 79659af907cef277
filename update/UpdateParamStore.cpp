#include "update/UpdateParamStore.h"

#include <windows.h>

#include <cstring>

const UpdateParam* CUpdateParamStore::Find(const char* name) const {
    for (const UpdateParam& param : m_params) {
        if (std::strcmp(param.name, name) == 0) return &param;
    }
    return nullptr;
}

kit::String CUpdateParamStore::GetText(const char* name) const {
    const UpdateParam* param = Find(name);
    return param ? param->text : kit::String();
}

int CUpdateParamStore::GetNumber2(const char* name) const {
    const UpdateParam* param = Find(name);
    return param ? param->number2 : 0;
}

int CUpdateParamStore::Set(const char* name, const char* text, int number, int number2, double real) {
    UpdateParam value;
    value.name = name;
    value.text = text;
    value.number = number;
    value.number2 = number2;
    value.real = real;
    for (size_t i = 0; i < m_params.size(); ++i) {
        if (std::strcmp(m_params[i].name, name) == 0) {
            m_params[i] = value;
            return static_cast<int>(i);
        }
    }
    m_params.push_back(value);
    return static_cast<int>(m_params.size() - 1);
}

int CUpdateParamStore::SetFrom(const UpdateParam& param) {
    return Set(param.name, param.text, param.number, param.number2, param.real);
}

void CUpdateParamStore::SetDefaults() {
    Set(kParamBgColor, "", 0, 0, 0.0);
    Set(kParamTextColor, "", 0, static_cast<int>(::GetSysColor(COLOR_BTNSHADOW)), 0.0);
}
