// ValueWalk.h - the values of one object, as the exchange library delivers them,
// turned into the tree's rows: each a label at a depth under the object item (0).
//
// The walk keeps the group path: the groups from the top-level group of the last
// value down to the last value's own group. A group at nesting level k has its group
// item at depth 2k+1, its record items at 2k+2 and its values and nested groups at
// 2k+3. A record item opens when a group is entered, when the value that opened the
// current record comes again in the same group, and on every return to an enclosing
// group.
#ifndef DERAR_VALUEWALK_H
#define DERAR_VALUEWALK_H

#include <afxwin.h>
#include <afxcoll.h>

#include <vector>

#include "KivTexts.h"

// One item of the tree: its label and its depth (0: an object item).
struct TreeRow
{
    int nDepth;
    CString strText;
};

class CValueWalk
{
public:
    CValueWalk();

    // Appends the rows that the object's next value makes: its value item, after a
    // group and a record item or a record item where it opens them.
    void Place(const KivValueTexts& value, std::vector<TreeRow>& rows);

private:
    // Takes groups off the end of the path until strName is its last; each one taken
    // off lowers nDepth by 2 (a group and its record). Returns the lowered depth.
    int PopPathTo(const CString& strName, int nDepth);

    CStringList m_groupPath;
    CString m_strPreviousGroup;
    CString m_strFirstValueName;   // the value that opened the current record item
    int m_nValueDepth;             // the depth of the last value item
};

#endif
