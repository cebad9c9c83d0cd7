// Polymorphic base of the records handed to content dialogs (CSkinUIDialog::data).
#pragma once

class UIDataBase {
  public:
    virtual ~UIDataBase() = default;
};
