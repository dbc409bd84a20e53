#include "app/AppModule.h"

#include <algorithm>
#include <new>

CAppModule g_Module;

HINSTANCE CComModule::GetModuleInstance() const
{
    return m_hInst != nullptr ? m_hInst : ::GetModuleHandleW(nullptr);
}

bool CComModule::AddCreateWndData(void* object)
{
    CLock lock(m_csModule);
    try {
        m_createWndData.emplace_back(::GetCurrentThreadId(), object);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void* CComModule::ExtractCreateWndData()
{
    CLock lock(m_csModule);
    const DWORD thread = ::GetCurrentThreadId();
    auto it = std::find_if(m_createWndData.rbegin(), m_createWndData.rend(),
                           [thread](const auto& entry) { return entry.first == thread; });
    if (it == m_createWndData.rend())
        return nullptr;
    void* object = it->second;
    m_createWndData.erase(std::next(it).base());
    return object;
}

void CComModule::RemoveCreateWndData(void* object)
{
    CLock lock(m_csModule);
    auto it = std::find_if(m_createWndData.begin(), m_createWndData.end(),
                           [object](const auto& entry) { return entry.second == object; });
    if (it != m_createWndData.end())
        m_createWndData.erase(it);
}

HRESULT CAppModule::Init(HINSTANCE instance)
{
    m_hInst = instance;
    m_dwMainThreadID = ::GetCurrentThreadId();
    m_pMsgLoopMap = new (std::nothrow) std::map<DWORD, CMessageLoop*>;
    return m_pMsgLoopMap != nullptr ? S_OK : E_OUTOFMEMORY;
}

void CAppModule::Term()
{
    delete m_pMsgLoopMap;
    m_pMsgLoopMap = nullptr;
    m_dwMainThreadID = 0;
}
