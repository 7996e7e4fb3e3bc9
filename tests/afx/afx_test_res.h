// Resource ids of the class layer's test program and its resource DLL.
#ifndef AFX_TEST_RES_H
#define AFX_TEST_RES_H

#define IDD_AFXTEST          100   // in the test program and, with another caption, in the resource DLL
#define IDD_ONLY_IN_DLL      201   // only in the resource DLL
#define IDD_MISSING          999   // nowhere

#define IDC_CLICK            1001
#define IDC_LIST             1002
#define IDC_COMBO            1003
#define IDC_BITMAP           1004  // caption TEST: TESTU, TESTD, TESTF
#define IDC_THROW            1005
#define IDC_BITMAP_DISABLED  1006  // caption DIS: DISU, DISD, DISF, DISX
#define IDC_BITMAP_MISSING   1007  // caption NONE: no bitmaps
#define IDC_LABEL            1008
#define IDC_TREE             1009

#define TEST_CAPTION_EXE     "Afx Test"
#define TEST_CAPTION_DLL     "Afx Test From DLL"

#endif
