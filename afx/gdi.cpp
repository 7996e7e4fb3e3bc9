// CGdiObject and CBitmap: GDI handles owned by C++ objects.
#include "afxwin.h"

CGdiObject::CGdiObject() : m_hObject(NULL) {}
CGdiObject::~CGdiObject() { DeleteObject(); }

HGDIOBJ CGdiObject::GetSafeHandle() const { return this != NULL ? m_hObject : NULL; }

BOOL CGdiObject::DeleteObject()
{
    if (m_hObject == NULL)
        return FALSE;
    HGDIOBJ hObject = m_hObject;
    m_hObject = NULL;
    return ::DeleteObject(hObject);
}

BOOL CBitmap::LoadBitmap(LPCSTR lpszResourceName)
{
    DeleteObject();
    HINSTANCE hInst = AfxFindResourceHandle(lpszResourceName, RT_BITMAP);
    m_hObject = ::LoadBitmapA(hInst, lpszResourceName);
    return m_hObject != NULL;
}

BOOL CBitmap::LoadBitmap(UINT nIDResource) { return LoadBitmap(MAKEINTRESOURCEA(nIDResource)); }

int CBitmap::GetBitmap(BITMAP* pBitMap) const
{
    ASSERT(m_hObject != NULL);
    return ::GetObjectA(m_hObject, sizeof(BITMAP), pBitMap);
}
