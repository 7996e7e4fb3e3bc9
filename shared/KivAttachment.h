// KivAttachment.h - the exchange library's attachment, held by an object so that every way
// out of a scope (a return, an exception) ends it.
#ifndef DERAR_KIVATTACHMENT_H
#define DERAR_KIVATTACHMENT_H

#include <afxwin.h>

class CKivAttachment
{
public:
    // When the destructor detaches.
    enum DetachRule
    {
        detachWhenAttached,   // only after an attach that succeeded
        detachAlways          // also after a refused attach, or none (the library accepts that)
    };

    explicit CKivAttachment(DetachRule rule = detachWhenAttached);
    ~CKivAttachment();   // Detach()

    // KivAttach. FALSE when the library refuses: strMessage is the text it left for the user.
    BOOL Attach(CString& strMessage);
    // KivDetach when the rule says one is owed, once; then nothing is held.
    void Detach();

private:
    CKivAttachment(const CKivAttachment&);
    CKivAttachment& operator=(const CKivAttachment&);

    DetachRule m_rule;
    BOOL m_bDetachOwed;
};

#endif
