#pragma once
// A form whose form data the test supplies.

#include "framework/Forms.h"

#include <string>

class TTestForm : public TForm {
public:
    using TForm::TForm;
    std::string ClassName() const override { return "TTestForm"; }
    void Load(const std::string& json) { ReadFormData(json); }
    using TForm::Bindings;
};

// Builds a form-data text for a TTestForm: properties and components as JSON fragments.
inline std::string TestFormData(const std::string& properties, const std::string& components) {
    return R"({"class": "TTestForm", "name": "TestForm", "properties": {)" + properties +
           R"(}, "components": [)" + components + "]}";
}
