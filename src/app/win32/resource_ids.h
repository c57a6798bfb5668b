#pragma once

// Identifiers shared by the resource script and the code that loads its resources.
#define IDI_MAIN_ICON 1
#define IDD_PASSWORD 100
#define IDD_QUESTION 101
#define IDC_PROMPT 1001
#define IDC_VALUE 1002
#define IDC_ANSWER1 1011
#define IDC_ANSWER2 1012
#define IDC_ANSWER3 1013
#define IDC_ANSWER4 1014
