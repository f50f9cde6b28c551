#pragma once

#include "runtime/Form.h"

// The main window: two buttons and a menu that switch the fan.
class Form1 : public runtime::Form {
public:
    Form1();

    // The parallel port's data register, set when the window loads. The
    // form itself never reads it (the switching goes through port::): it is
    // there for code that asks the form which port it drives.
    short LPTadresa = 0;

    void Command1_Click();
    void Command2_Click();
    void mnuUkljuci_Click();
    void mnuIskljuci_Click();
    void mnuOAutoru_Click();

protected:
    void Form_Load() override;
    void Form_Unload() override;
};
