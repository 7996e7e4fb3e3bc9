// The exchange library's attachment as an object.
#include "KivAttachment.h"

#include <kivapi.h>

#include "KivTexts.h"

CKivAttachment::CKivAttachment(DetachRule rule) : m_rule(rule), m_bDetachOwed(rule == detachAlways) {}

CKivAttachment::~CKivAttachment()
{
    Detach();
}

BOOL CKivAttachment::Attach(CString& strMessage)
{
    char* pszMessage = NULL;
    const BOOL bAttached = KivAttach(&pszMessage) != 0;
    strMessage = bAttached ? CString() : KivText(pszMessage);
    if (bAttached || m_rule == detachAlways)
        m_bDetachOwed = TRUE;
    return bAttached;
}

void CKivAttachment::Detach()
{
    if (!m_bDetachOwed)
        return;
    m_bDetachOwed = FALSE;
    KivDetach();
}
