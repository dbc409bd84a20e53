// The application module: the one piece of process-wide state. It knows the
// program's instance (where every resource is loaded from), the main thread,
// and hands a dialog object to its window while the window is being created.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

#include "app/Handles.h"

class CMessageLoop;

class CAtlModule {
public:
    CAtlModule() = default;
    virtual ~CAtlModule() = default;
    CAtlModule(const CAtlModule&) = delete;
    CAtlModule& operator=(const CAtlModule&) = delete;

protected:
    // Held only for the module's own lists.
    CCriticalSection m_csModule;
};

template <class T>
class CAtlModuleT : public CAtlModule {};

class CComModule : public CAtlModuleT<CComModule> {
public:
    // The program's own image: also where resources come from.
    HINSTANCE GetModuleInstance() const;
    HINSTANCE GetResourceInstance() const { return GetModuleInstance(); }

    // A dialog object waiting for its window on the calling thread. False
    // when there is no memory to note it.
    bool AddCreateWndData(void* object);
    // The object noted last on the calling thread, taken off the list; null
    // when there is none.
    void* ExtractCreateWndData();
    // Drops object from the list if it is still there.
    void RemoveCreateWndData(void* object);

protected:
    HINSTANCE m_hInst = nullptr;

private:
    std::vector<std::pair<DWORD, void*>> m_createWndData;
};

class CAppModule : public CComModule {
public:
    ~CAppModule() override { Term(); }

    // Records the instance and the main thread and creates the (empty)
    // message-loop registry; E_OUTOFMEMORY when that can't be had.
    HRESULT Init(HINSTANCE instance);
    // Frees the registry and marks the module uninitialised.
    void Term();

    DWORD m_dwMainThreadID = 0;

private:
    std::map<DWORD, CMessageLoop*>* m_pMsgLoopMap = nullptr;
};

extern CAppModule g_Module;
