// derafx collections: CStringList, a doubly linked list of CString walked with POSITION.
#ifndef DERAFX_AFXCOLL_H
#define DERAFX_AFXCOLL_H

#include "afx.h"

struct __POSITION {};
typedef __POSITION* POSITION;

class AFX_CLASS_EXPORT CStringList
{
public:
    // Nodes are allocated nBlockSize at a time; the size never affects the order or content.
    explicit CStringList(int nBlockSize = 10);
    ~CStringList();

    int GetCount() const;
    BOOL IsEmpty() const;

    CString& GetHead();
    const CString& GetHead() const;   // the list must not be empty
    CString& GetTail();
    const CString& GetTail() const;

    CString RemoveHead();             // the list must not be empty
    CString RemoveTail();
    POSITION AddHead(LPCSTR newElement);
    POSITION AddTail(LPCSTR newElement);
    void RemoveAll();

    POSITION GetHeadPosition() const; // NULL for an empty list
    POSITION GetTailPosition() const;
    CString& GetNext(POSITION& rPosition);             // returns *rPosition, then steps on
    const CString& GetNext(POSITION& rPosition) const;
    CString& GetPrev(POSITION& rPosition);
    const CString& GetPrev(POSITION& rPosition) const;
    CString& GetAt(POSITION position);
    const CString& GetAt(POSITION position) const;
    void SetAt(POSITION pos, LPCSTR newElement);
    void RemoveAt(POSITION position);

    // The first element after startAfter (from the head when NULL) whose bytes equal
    // searchValue exactly (case-sensitive); NULL when there is none.
    POSITION Find(LPCSTR searchValue, POSITION startAfter = NULL) const;

private:
    struct CNode;
    struct CBlock;
    CNode* NewNode(CNode* pPrev, CNode* pNext);
    void FreeNode(CNode* pNode);
    POSITION LinkNewNode(CNode* pPrev, CNode* pNext, LPCSTR newElement);
    CString UnlinkNode(CNode* pNode);
    CString& StepFrom(POSITION& rPosition, CNode* CNode::*pNextOrPrev);

    CNode* m_pNodeHead;
    CNode* m_pNodeTail;
    int m_nCount;
    CNode* m_pNodeFree;   // nodes of earlier blocks ready for reuse
    CBlock* m_pBlocks;    // every block allocated, freed by RemoveAll
    int m_nBlockSize;

    CStringList(const CStringList&);            // not copyable, as in MFC
    CStringList& operator=(const CStringList&);
};

#endif
