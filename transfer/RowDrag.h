// RowDrag.h - follows the mouse while a person drags rows from one list to another.
#ifndef DERAR_ROWDRAG_H
#define DERAR_ROWDRAG_H

#include <afxwin.h>

// A drag that a list view has begun (LVN_BEGINDRAG): the dialog holds the mouse until
// the button is released, and the pointer shows where a drop would land (the arrow
// over the target list, "no" elsewhere). It moves nothing itself: Track says whether
// the rows were dropped on the target list.
class CRowDrag
{
public:
    CRowDrag(CWnd* pDialog, CWnd* pTarget);

    // TRUE when the left button is released over the target list. FALSE when it is
    // released anywhere else (the source list included), and when the drag is given
    // up: Esc, the right button, the capture taken away, the dialog ending or hidden.
    // Keys and other mouse input go to the drag while it lasts; every other message
    // is dispatched as the dialog's own loop would.
    BOOL Track();

private:
    BOOL IsOverTarget(const MSG& msg) const;

    CWnd* m_pDialog;
    CWnd* m_pTarget;
};

#endif
