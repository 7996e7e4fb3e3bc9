// CAccessibleName: a window's name for assistive programs, through the platform's
// accessibility interfaces (WM_GETOBJECT answered with an IAccessible).
//
// The object handed out is the platform's own accessible object for the window's client
// area (CreateStdAccessibleObject: role, state, location, default action, all as the
// platform gives them), wrapped so that only its name is ours. oleacc, ole32 and oleaut32
// are loaded from the system folder on the first request of an assistive program, so that a
// host that never sees one never loads them (and derafx.dll imports none of them).
#include "afximpl.h"

#include <oleacc.h>

#include <new>
#include <string.h>

namespace {

// Our own copies: MinGW's oleacc import library resolves IID_IAccessible to a code thunk.
const IID kIID_IAccessible = { 0x618736e0, 0x3c3d, 0x11cf, { 0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71 } };
const IID kIID_IDispatch = { 0x00020400, 0x0000, 0x0000, { 0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };
const IID kIID_IUnknown = { 0x00000000, 0x0000, 0x0000, { 0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };

bool SameIid(REFIID a, const IID& b)
{
    return memcmp(&a, &b, sizeof(IID)) == 0;
}

// The calls of the three libraries, loaded once per process and kept.
struct AccessibilityCalls
{
    HRESULT(WINAPI* CreateStdAccessibleObject)(HWND, LONG, REFIID, void**);
    LRESULT(WINAPI* LresultFromObject)(REFIID, WPARAM, LPUNKNOWN);
    HRESULT(WINAPI* CoInitializeEx)(LPVOID, DWORD);
    void(WINAPI* CoUninitialize)();
    HRESULT(WINAPI* CoDisconnectObject)(LPUNKNOWN, DWORD);
    BSTR(WINAPI* SysAllocString)(const OLECHAR*);
};

template <typename T>
bool Resolve(HMODULE hModule, const char* name, T& pfn)
{
    pfn = hModule != NULL ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(hModule, name))) : NULL;
    return pfn != NULL;
}

// NULL when a library or a call is missing: the window then answers as it always did.
const AccessibilityCalls* Calls()
{
    static const AccessibilityCalls* const pCalls = []() -> const AccessibilityCalls* {
        static AccessibilityCalls calls;
        HMODULE hOleacc = AfxLoadSystemLibrary(L"oleacc.dll");
        HMODULE hOle32 = AfxLoadSystemLibrary(L"ole32.dll");
        HMODULE hOleaut32 = AfxLoadSystemLibrary(L"oleaut32.dll");
        const bool bAll = Resolve(hOleacc, "CreateStdAccessibleObject", calls.CreateStdAccessibleObject) &&
                          Resolve(hOleacc, "LresultFromObject", calls.LresultFromObject) &&
                          Resolve(hOle32, "CoInitializeEx", calls.CoInitializeEx) &&
                          Resolve(hOle32, "CoUninitialize", calls.CoUninitialize) &&
                          Resolve(hOle32, "CoDisconnectObject", calls.CoDisconnectObject) &&
                          Resolve(hOleaut32, "SysAllocString", calls.SysAllocString);
        return bAll ? &calls : NULL;
    }();
    return pCalls;
}

bool IsSelf(const VARIANT& varChild)
{
    return varChild.vt == VT_I4 && varChild.lVal == CHILDID_SELF;
}

}  // namespace

// The platform's accessible object of a window's client area with a name of its own.
class CNamedAccessible final : public IAccessible
{
public:
    CNamedAccessible(IAccessible* pStandard, const CString& name) : m_nRefs(1), m_pStandard(pStandard)
    {
        SetName(name);
    }

    // Names longer than kMaxName characters are cut there (no allocation: a call from an
    // assistive program must not fail half-way).
    void SetName(const CString& name)
    {
        const int nChars = MultiByteToWideChar(CP_ACP, 0, name, name.GetLength(), m_szName, kMaxName);
        m_szName[nChars > 0 ? nChars : 0] = L'\0';
    }

    // IUnknown. The interfaces that are not IAccessible's own (IOleWindow, IEnumVARIANT)
    // are the standard object's.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL)
            return E_POINTER;
        if (SameIid(riid, kIID_IUnknown) || SameIid(riid, kIID_IDispatch) || SameIid(riid, kIID_IAccessible))
        {
            *ppv = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return m_pStandard->QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)InterlockedIncrement(&m_nRefs); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG nRefs = InterlockedDecrement(&m_nRefs);
        if (nRefs == 0)
            delete this;
        return (ULONG)nRefs;
    }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override { return m_pStandard->GetTypeInfoCount(pctinfo); }
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override
    {
        return m_pStandard->GetTypeInfo(iTInfo, lcid, ppTInfo);
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override
    {
        return m_pStandard->GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
    }
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override
    {
        return m_pStandard->Invoke(dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
    }

    // IAccessible: the name is ours, everything else the standard object's.
    STDMETHODIMP get_accName(VARIANT varChild, BSTR* pszName) override
    {
        if (!IsSelf(varChild))
            return m_pStandard->get_accName(varChild, pszName);
        if (pszName == NULL)
            return E_POINTER;
        const AccessibilityCalls* pCalls = Calls();
        *pszName = pCalls != NULL ? pCalls->SysAllocString(m_szName) : NULL;
        return *pszName != NULL ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP get_accParent(IDispatch** ppdispParent) override { return m_pStandard->get_accParent(ppdispParent); }
    STDMETHODIMP get_accChildCount(LONG* pcountChildren) override
    {
        return m_pStandard->get_accChildCount(pcountChildren);
    }
    STDMETHODIMP get_accChild(VARIANT varChild, IDispatch** ppdispChild) override
    {
        return m_pStandard->get_accChild(varChild, ppdispChild);
    }
    STDMETHODIMP get_accValue(VARIANT varChild, BSTR* pszValue) override
    {
        return m_pStandard->get_accValue(varChild, pszValue);
    }
    STDMETHODIMP get_accDescription(VARIANT varChild, BSTR* pszDescription) override
    {
        return m_pStandard->get_accDescription(varChild, pszDescription);
    }
    STDMETHODIMP get_accRole(VARIANT varChild, VARIANT* pvarRole) override
    {
        return m_pStandard->get_accRole(varChild, pvarRole);
    }
    STDMETHODIMP get_accState(VARIANT varChild, VARIANT* pvarState) override
    {
        return m_pStandard->get_accState(varChild, pvarState);
    }
    STDMETHODIMP get_accHelp(VARIANT varChild, BSTR* pszHelp) override
    {
        return m_pStandard->get_accHelp(varChild, pszHelp);
    }
    STDMETHODIMP get_accHelpTopic(BSTR* pszHelpFile, VARIANT varChild, LONG* pidTopic) override
    {
        return m_pStandard->get_accHelpTopic(pszHelpFile, varChild, pidTopic);
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT varChild, BSTR* pszKeyboardShortcut) override
    {
        return m_pStandard->get_accKeyboardShortcut(varChild, pszKeyboardShortcut);
    }
    STDMETHODIMP get_accFocus(VARIANT* pvarChild) override { return m_pStandard->get_accFocus(pvarChild); }
    STDMETHODIMP get_accSelection(VARIANT* pvarChildren) override
    {
        return m_pStandard->get_accSelection(pvarChildren);
    }
    STDMETHODIMP get_accDefaultAction(VARIANT varChild, BSTR* pszDefaultAction) override
    {
        return m_pStandard->get_accDefaultAction(varChild, pszDefaultAction);
    }
    STDMETHODIMP accSelect(LONG flagsSelect, VARIANT varChild) override
    {
        return m_pStandard->accSelect(flagsSelect, varChild);
    }
    STDMETHODIMP accLocation(LONG* pxLeft, LONG* pyTop, LONG* pcxWidth, LONG* pcyHeight, VARIANT varChild) override
    {
        return m_pStandard->accLocation(pxLeft, pyTop, pcxWidth, pcyHeight, varChild);
    }
    STDMETHODIMP accNavigate(LONG navDir, VARIANT varStart, VARIANT* pvarEndUpAt) override
    {
        return m_pStandard->accNavigate(navDir, varStart, pvarEndUpAt);
    }
    STDMETHODIMP accHitTest(LONG xLeft, LONG yTop, VARIANT* pvarChild) override
    {
        return m_pStandard->accHitTest(xLeft, yTop, pvarChild);
    }
    STDMETHODIMP accDoDefaultAction(VARIANT varChild) override { return m_pStandard->accDoDefaultAction(varChild); }
    STDMETHODIMP put_accName(VARIANT varChild, BSTR szName) override
    {
        return m_pStandard->put_accName(varChild, szName);
    }
    STDMETHODIMP put_accValue(VARIANT varChild, BSTR szValue) override
    {
        return m_pStandard->put_accValue(varChild, szValue);
    }

private:
    ~CNamedAccessible() { m_pStandard->Release(); }

    static const int kMaxName = 255;

    LONG m_nRefs;
    IAccessible* m_pStandard;
    WCHAR m_szName[kMaxName + 1];
};

CAccessibleName::CAccessibleName(const CString& name)
    : m_strName(name),
      m_pObject(NULL),
      m_bApartmentTaken(FALSE),
      m_bLeaveApartment(FALSE)
{
}

CAccessibleName::~CAccessibleName()
{
    // No assistive program asked: nothing was loaded for this name, and nothing is now.
    if (m_pObject == NULL && !m_bLeaveApartment)
        return;
    const AccessibilityCalls* pCalls = Calls();
    if (m_pObject != NULL)
    {
        // Proxies that assistive programs still hold now fail instead of reaching a dead window.
        if (pCalls != NULL)
            pCalls->CoDisconnectObject(static_cast<IAccessible*>(m_pObject), 0);
        m_pObject->Release();
    }
    if (m_bLeaveApartment && pCalls != NULL)
        pCalls->CoUninitialize();
}

void CAccessibleName::SetName(const CString& name)
{
    m_strName = name;
    if (m_pObject != NULL)
        m_pObject->SetName(name);
}

LRESULT CAccessibleName::Answer(HWND hWnd, WPARAM wParam)
{
    const AccessibilityCalls* pCalls = Calls();
    if (pCalls == NULL)
        return 0;
    if (!m_bApartmentTaken)
    {
        // Handing out an object takes a COM apartment on this thread. A host that has none
        // gets one for as long as this name lives; one that has chosen the multithreaded
        // kind keeps it.
        const HRESULT hrApartment = pCalls->CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
        if (hrApartment == S_OK || hrApartment == S_FALSE)
            m_bLeaveApartment = TRUE;
        else if (hrApartment != RPC_E_CHANGED_MODE)
            return 0;
        m_bApartmentTaken = TRUE;
    }
    if (m_pObject == NULL)
    {
        IAccessible* pStandard = NULL;
        if (FAILED(pCalls->CreateStdAccessibleObject(hWnd, OBJID_CLIENT, kIID_IAccessible,
                                                     reinterpret_cast<void**>(&pStandard))) ||
            pStandard == NULL)
            return 0;
        m_pObject = new (std::nothrow) CNamedAccessible(pStandard, m_strName);
        if (m_pObject == NULL)
        {
            pStandard->Release();
            return 0;
        }
    }
    const LRESULT lResult = pCalls->LresultFromObject(kIID_IAccessible, wParam, static_cast<IAccessible*>(m_pObject));
    return lResult > 0 ? lResult : 0;
}
