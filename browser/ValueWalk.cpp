// The value walk: where each value of an object goes in the tree.
#include "ValueWalk.h"

#include <cstdio>
#include <string>

namespace {

// Name, ": ", value, one blank, and "[suffix]" only when there is a suffix; built in
// one piece, as it is made for every value of the file.
CString ValueLabel(const KivValueTexts& value)
{
    std::string label(static_cast<LPCSTR>(value.strName), static_cast<size_t>(value.strName.GetLength()));
    label += ": ";
    label.append(static_cast<LPCSTR>(value.strValue), static_cast<size_t>(value.strValue.GetLength()));
    label += ' ';
    if (!value.strSuffix.IsEmpty())
    {
        label += '[';
        label.append(static_cast<LPCSTR>(value.strSuffix), static_cast<size_t>(value.strSuffix.GetLength()));
        label += ']';
    }
    return CString(label.c_str(), static_cast<int>(label.size()));
}

CString RecordLabel(int nRecord)
{
    char szLabel[256];
    std::sprintf(szLabel, "%d", nRecord);
    return CString(szLabel);
}

void AddRow(std::vector<TreeRow>& rows, int nDepth, const CString& strText)
{
    rows.push_back(TreeRow{ nDepth, strText });
}

}  // namespace

CValueWalk::CValueWalk() : m_groupPath(10), m_nValueDepth(0) {}

void CValueWalk::Place(const KivValueTexts& value, std::vector<TreeRow>& rows)
{
    const CString& strGroup = value.strGroup;
    const CString& strParent = value.strParentGroup;
    const bool bOnPath = m_groupPath.Find(strGroup) != NULL;
    // A value the walk cannot place (the first one of an object naming a parent
    // group, or one whose parent group is not on the path) opens a new top-level group.
    const bool bUnplaceable = !strParent.IsEmpty() && !bOnPath && m_groupPath.Find(strParent) == NULL;

    if ((strParent.IsEmpty() && !bOnPath) || bUnplaceable || m_groupPath.IsEmpty())
    {
        // A new top-level group.
        AddRow(rows, 1, strGroup);
        AddRow(rows, 2, RecordLabel(value.nRecord));
        AddRow(rows, 3, ValueLabel(value));
        m_groupPath.RemoveAll();
        m_groupPath.AddTail(strGroup);
        m_strFirstValueName = value.strName;
        m_nValueDepth = 3;
    }
    else if (strGroup == m_strPreviousGroup || strGroup == m_groupPath.GetTail())
    {
        // The same group: the value that opened the record opens the next one.
        if (value.strName == m_strFirstValueName)
            AddRow(rows, m_nValueDepth - 1, RecordLabel(value.nRecord));
        AddRow(rows, m_nValueDepth, ValueLabel(value));
    }
    else if (!bOnPath)
    {
        // A nested group, inside the current record of its parent group.
        const int nDepth = PopPathTo(strParent, m_nValueDepth - 1);
        AddRow(rows, nDepth + 1, strGroup);
        AddRow(rows, nDepth + 2, RecordLabel(value.nRecord));
        AddRow(rows, nDepth + 3, ValueLabel(value));
        m_groupPath.AddTail(strGroup);
        m_strFirstValueName = value.strName;
        m_nValueDepth = nDepth + 3;
    }
    else
    {
        // Back to an enclosing group: its values go under a new record item.
        const int nDepth = PopPathTo(strGroup, m_nValueDepth - 1);
        AddRow(rows, nDepth, RecordLabel(value.nRecord));
        AddRow(rows, nDepth + 1, ValueLabel(value));
        m_strFirstValueName = value.strName;
        m_nValueDepth = nDepth + 1;
    }
    m_strPreviousGroup = strGroup;
}

int CValueWalk::PopPathTo(const CString& strName, int nDepth)
{
    // strName is on the path (the callers make sure): the loop ends at it.
    while (m_groupPath.GetTail() != strName)
    {
        m_groupPath.RemoveTail();
        nDepth -= 2;
    }
    return nDepth;
}
