#pragma once
// Reading form data: a JSON text of our own that holds a root component (a form), the
// components it owns with their published property values, and the names of the root's
// handlers that their events are bound to.
//
//   {
//     "class": "TForm1", "name": "Form1",
//     "properties": {"Caption": "Main", "Width": 400, "Color": "clBtnFace",
//                    "Font": {"Name": "MS Sans Serif", "Height": -11},
//                    "OnCreate": "FormCreate", "Menu": "MainMenu1"},
//     "components": [
//       {"class": "TEdit", "name": "Edit1",
//        "properties": {"Left": 8, "Anchors": ["akLeft", "akTop", "akRight"]}},
//       {"class": "TMainMenu", "name": "MainMenu1", "components": [
//         {"class": "TMenuItem", "name": "Item1", "properties": {"Caption": "Go"}}]}
//     ]
//   }
//
// Every component is owned by the root; a component listed inside another's "components" has
// that one as its parent (a control's parent window, a menu item's menu). Properties are read
// in the order of the class's table, then the class's own extra values (DefineProperties).
// Anything the reader does not know (a class, a property, an enumeration value, a handler, a
// referenced component) stops reading with an exception that names it; the components
// created so far are freed again.

#include "framework/Classes.h"

#include <any>
#include <functional>
#include <map>
#include <string>

// What a root offers form data: handlers by name and fields that receive the created
// components by name.
class TFormBindings {
public:
    // Handler of event type E (a std::function type), e.g.
    //   AddHandler<TNotifyEvent>("FormCreate", [this](TObject* s) { FormCreate(s); });
    template <class E, class Fn> void AddHandler(const std::string& Name, Fn&& Handler) {
        FHandlers[Name] = std::any(E(std::forward<Fn>(Handler)));
    }
    // A method of Object as the handler: AddMethod<TNotifyEvent>("FormCreate", this,
    // &TForm1::FormCreate).
    template <class E, class C, class R, class... A>
    void AddMethod(const std::string& Name, C* Object, R (C::*Method)(A...)) {
        AddHandler<E>(Name, [Object, Method](A... args) {
            return (Object->*Method)(std::forward<A>(args)...);
        });
    }
    // Field receives the component named Name (which must be a T).
    template <class T> void AddField(const std::string& Name, T*& Field) {
        FFields[Name] = [&Field](TComponent* c) {
            T* typed = dynamic_cast<T*>(c);
            if (c && !typed)
                return false;
            Field = typed;
            return true;
        };
    }

    const std::any* FindHandler(const std::string& Name) const;
    // False when a field of that name exists and the component does not fit it.
    bool BindField(const std::string& Name, TComponent* Component) const;

private:
    std::map<std::string, std::any> FHandlers;
    std::map<std::string, std::function<bool(TComponent*)>> FFields;
};

// Reads Json into Root, which must be of the class the data names. Components are created
// from the class registry and owned by Root. All components are in the loading and reading
// state while the data is read; afterwards each is told that loading is over (Loaded),
// the root first. Errors raise EReadError (EClassNotFound for an unknown class).
void ReadComponentData(TComponent* Root, const std::string& Json,
                       const TFormBindings* Bindings = nullptr);
