// CStringList: a doubly linked list whose nodes come from blocks of m_nBlockSize nodes.
#include "afxcoll.h"
#include "afximpl.h"

#include <new>
#include <stdlib.h>
#include <string.h>

struct CStringList::CNode
{
    CNode* pNext;
    CNode* pPrev;
    CString data;
};

struct CStringList::CBlock
{
    CBlock* pNext;
    CNode* Nodes() { return reinterpret_cast<CNode*>(this + 1); }
};

static inline POSITION ToPos(void* p) { return static_cast<POSITION>(p); }

CStringList::CStringList(int nBlockSize)
    : m_pNodeHead(NULL), m_pNodeTail(NULL), m_nCount(0), m_pNodeFree(NULL), m_pBlocks(NULL),
      m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10)
{
}

CStringList::~CStringList() { RemoveAll(); }

int CStringList::GetCount() const { return m_nCount; }
BOOL CStringList::IsEmpty() const { return m_nCount == 0; }

CStringList::CNode* CStringList::NewNode(CNode* pPrev, CNode* pNext)
{
    if (m_pNodeFree == NULL)
    {
        static_assert(sizeof(CBlock) % alignof(CNode) == 0, "nodes follow the block header");
        CBlock* pBlock = static_cast<CBlock*>(AfxAllocOrNewHandler(sizeof(CBlock) + sizeof(CNode) * (size_t)m_nBlockSize));
        if (pBlock == NULL)
            RaiseException(STATUS_NO_MEMORY, EXCEPTION_NONCONTINUABLE, 0, NULL);
        pBlock->pNext = m_pBlocks;
        m_pBlocks = pBlock;
        // Chain the new nodes into the free list, last first, so they are used in address order.
        CNode* pNode = pBlock->Nodes() + m_nBlockSize - 1;
        for (int i = m_nBlockSize - 1; i >= 0; --i, --pNode)
        {
            pNode->pNext = m_pNodeFree;
            m_pNodeFree = pNode;
        }
    }
    CNode* pNode = m_pNodeFree;
    m_pNodeFree = m_pNodeFree->pNext;
    pNode->pPrev = pPrev;
    pNode->pNext = pNext;
    new (&pNode->data) CString();
    ++m_nCount;
    return pNode;
}

void CStringList::FreeNode(CNode* pNode)
{
    pNode->data.~CString();
    pNode->pNext = m_pNodeFree;
    m_pNodeFree = pNode;
    --m_nCount;
}

void CStringList::RemoveAll()
{
    for (CNode* pNode = m_pNodeHead; pNode != NULL; pNode = pNode->pNext)
        pNode->data.~CString();
    m_pNodeHead = m_pNodeTail = m_pNodeFree = NULL;
    m_nCount = 0;
    while (m_pBlocks != NULL)
    {
        CBlock* pNext = m_pBlocks->pNext;
        free(m_pBlocks);
        m_pBlocks = pNext;
    }
}

CString& CStringList::GetHead()
{
    ASSERT(m_pNodeHead != NULL);
    return m_pNodeHead->data;
}
const CString& CStringList::GetHead() const { return const_cast<CStringList*>(this)->GetHead(); }
CString& CStringList::GetTail()
{
    ASSERT(m_pNodeTail != NULL);
    return m_pNodeTail->data;
}
const CString& CStringList::GetTail() const { return const_cast<CStringList*>(this)->GetTail(); }

// A new node with this text between pPrev and pNext (NULL: the list's end on that side).
POSITION CStringList::LinkNewNode(CNode* pPrev, CNode* pNext, LPCSTR newElement)
{
    CNode* pNode = NewNode(pPrev, pNext);
    pNode->data = newElement;
    (pPrev != NULL ? pPrev->pNext : m_pNodeHead) = pNode;
    (pNext != NULL ? pNext->pPrev : m_pNodeTail) = pNode;
    return ToPos(pNode);
}

POSITION CStringList::AddHead(LPCSTR newElement) { return LinkNewNode(NULL, m_pNodeHead, newElement); }
POSITION CStringList::AddTail(LPCSTR newElement) { return LinkNewNode(m_pNodeTail, NULL, newElement); }

// The node's text, after the node has left the list; empty for NULL (an empty list).
CString CStringList::UnlinkNode(CNode* pNode)
{
    if (pNode == NULL)
        return CString();
    CString result = pNode->data;
    RemoveAt(ToPos(pNode));
    return result;
}

CString CStringList::RemoveHead()
{
    ASSERT(m_pNodeHead != NULL);
    return UnlinkNode(m_pNodeHead);
}

CString CStringList::RemoveTail()
{
    ASSERT(m_pNodeTail != NULL);
    return UnlinkNode(m_pNodeTail);
}

void CStringList::RemoveAt(POSITION position)
{
    CNode* pNode = reinterpret_cast<CNode*>(position);
    ASSERT(pNode != NULL);
    if (pNode == NULL)
        return;
    (pNode == m_pNodeHead ? m_pNodeHead : pNode->pPrev->pNext) = pNode->pNext;
    (pNode == m_pNodeTail ? m_pNodeTail : pNode->pNext->pPrev) = pNode->pPrev;
    FreeNode(pNode);
}

POSITION CStringList::GetHeadPosition() const { return ToPos(m_pNodeHead); }
POSITION CStringList::GetTailPosition() const { return ToPos(m_pNodeTail); }

// The element at rPosition; rPosition steps on to the node that pNextOrPrev names.
CString& CStringList::StepFrom(POSITION& rPosition, CNode* CNode::*pNextOrPrev)
{
    CNode* pNode = reinterpret_cast<CNode*>(rPosition);
    rPosition = ToPos(pNode->*pNextOrPrev);
    return pNode->data;
}

CString& CStringList::GetNext(POSITION& rPosition) { return StepFrom(rPosition, &CNode::pNext); }
const CString& CStringList::GetNext(POSITION& rPosition) const { return const_cast<CStringList*>(this)->GetNext(rPosition); }
CString& CStringList::GetPrev(POSITION& rPosition) { return StepFrom(rPosition, &CNode::pPrev); }
const CString& CStringList::GetPrev(POSITION& rPosition) const { return const_cast<CStringList*>(this)->GetPrev(rPosition); }
CString& CStringList::GetAt(POSITION position) { return reinterpret_cast<CNode*>(position)->data; }
const CString& CStringList::GetAt(POSITION position) const { return reinterpret_cast<CNode*>(position)->data; }

void CStringList::SetAt(POSITION pos, LPCSTR newElement) { reinterpret_cast<CNode*>(pos)->data = newElement; }

POSITION CStringList::Find(LPCSTR searchValue, POSITION startAfter) const
{
    if (searchValue == NULL)
        searchValue = "";
    size_t nLength = strlen(searchValue);
    CNode* pNode = startAfter != NULL ? reinterpret_cast<CNode*>(startAfter)->pNext : m_pNodeHead;
    for (; pNode != NULL; pNode = pNode->pNext)
        if ((size_t)pNode->data.GetLength() == nLength && memcmp((LPCSTR)pNode->data, searchValue, nLength) == 0)
            return ToPos(pNode);
    return NULL;
}
