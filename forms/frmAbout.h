#pragma once

#include "runtime/Form.h"

// The About window: who made the program, its version and a disclaimer.
class frmAbout : public runtime::Form {
public:
    frmAbout();

    void cmdOK_Click();
};
