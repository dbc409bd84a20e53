// Resource and control ids of Kestrane.
#pragma once

// Icon, cursor and dialog templates
#define IDR_MAINFRAME           100
#define IDD_MAINDLG             200
#define IDD_ABOUTBOX            201
#define IDC_HAND_CURSOR         400

// Main dialog controls
#define IDC_SOURCE_FILE         1000
#define IDC_BROWSE_SOURCE       1001
#define IDC_BLOCK_SIZE          1002
#define IDC_MBYTE               1003
#define IDC_KBYTE               1004
#define IDC_SEPARATE            1005
#define IDC_CANCEL_SEPARATE     1006
#define IDC_MERGE_LIST          1007
#define IDC_BROWSE_MERGE        1008
#define IDC_UP                  1009
#define IDC_DOWN                1010
#define IDC_RESULT_FILE         1011
#define IDC_BROWSE_RESULT       1012
#define IDC_MERGE               1013
#define IDC_CANCEL_MERGE        1014
#define IDC_PROGRESS            1015
#ifndef ID_APP_ABOUT
#define ID_APP_ABOUT            57664
#endif

// About box link controls
#define IDC_HOME_PAGE           1100
#define IDC_SUPPORT_MAIL        1101
#define IDC_SALES_MAIL          1102

// String table
#define IDS_PRODUCT_NAME        100
#define IDS_ERROR               2000
#define IDS_NO_SOURCE           2001
#define IDS_BAD_BLOCK_SIZE      2002
#define IDS_OPEN_SOURCE_FAILED  2003
#define IDS_OPEN_BLOCK_FAILED   2004
#define IDS_READ_SOURCE_FAILED  2005
#define IDS_WRITE_BLOCK_FAILED  2006
#define IDS_NO_RESULT           2007
#define IDS_NO_MERGE_FILES      2008
#define IDS_OPEN_RESULT_FAILED  2009
#define IDS_OPEN_MERGED_FAILED  2010
#define IDS_READ_MERGED_FAILED  2011
#define IDS_WRITE_RESULT_FAILED 2012
#define IDS_SEPARATE_FAILED     2013
#define IDS_MERGE_FAILED        2014
#define IDS_RESULT_IS_SOURCE    2015
#define IDS_BLOCK_SIZE_TOO_BIG  2016
#define IDS_PATH_TOO_LONG       2017
// A merge list that is not one whole separation, in order (questions)
#define IDS_BLOCK_MISSING       2020
#define IDS_BLOCK_TWICE         2021
#define IDS_BLOCK_OUT_OF_ORDER  2022
#define IDS_BLOCK_SMALLER       2023
#define IDS_BLOCK_LARGER        2024
#define IDS_NOT_A_BLOCK         2025
// Files dropped on the window
#define IDS_DROP_ONE_SOURCE     2030
#define IDS_DROP_ONE_RESULT     2031
#define IDS_DROP_NO_FOLDERS     2032
#define IDS_DROP_ONE_FOLDER     2033
#define IDS_CONFIRM_SAVE_AS     2034
#define IDS_REPLACE_RESULT      2035
#define IDS_NOTICE              3000
#define IDS_SEPARATE_DONE       3001
#define IDS_MERGE_DONE          3002
#define IDS_SURE                4000
#define IDS_MAIL_SUBJECT        5008
