// Ids of the framework tests' dialog template.
#pragma once

#define IDD_TEST 900
#define IDC_TEST_BUTTON 901
#define IDC_TEST_LABEL 902
