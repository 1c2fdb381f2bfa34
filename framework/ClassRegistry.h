#pragma once
// The class registry and the published-property tables that form data is read and written
// through. One table per class serves both the reader and the writer; a class's table lists
// only the properties it adds (or re-declares, e.g. with another default), its registered
// parent's come first.
//
// Registering a class (do it once, before form data that names the class is read; the usual
// place is a static TClassRegistrar in the .cpp file that defines the class's constructor, so
// it is linked in whenever the class is used). A registrar only queues its table; the registry
// takes the queue on its next use, after the framework's own classes. So registrars may sit in
// any unit, linked in any order, and nothing they run depends on another unit's globals:
//
//   static const TClassRegistrar<TClientSocket> registrar(
//       "TClientSocket", "TComponent",
//       {published::Boolean<TClientSocket>("Active", &TClientSocket::Active,
//                                          &TClientSocket::SetActive, published::NoDefault),
//        published::String<TClientSocket>("Address", &TClientSocket::Address,
//                                         &TClientSocket::SetAddress),
//        published::Enum<TClientSocket>("ClientType", &TClientSocket::ClientType,
//                                       &TClientSocket::SetClientType,
//                                       {"ctNonBlocking", "ctBlocking"}, published::NoDefault),
//        published::Integer<TClientSocket>("Port", &TClientSocket::Port,
//                                          &TClientSocket::SetPort, published::NoDefault),
//        published::Event<TClientSocket>("OnRead", &TClientSocket::OnRead)});
//
// A component class needs a constructor taking the owner (TComponent*); the registrar uses it
// to create instances by name. A property whose value is a sub-object (a font, a string list,
// a collection) is published with published::Object or published::Collection and the
// sub-object's class registers its own table with TPersistentRegistrar (no constructor needed).
// Values that do not fit a table (the content of a rich text control, a wide string list) are
// stored through the class's DefineProperties(TFiler&) override.

#include "framework/Classes.h"
#include "framework/Exceptions.h"
#include "framework/Graphics.h"

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

class TCollection;

enum class TTypeKind {
    tkInteger,     // JSON number
    tkBoolean,     // JSON true/false
    tkString,      // JSON string (8-bit text in the ANSI code page)
    tkEnumeration, // JSON string: the value's name
    tkSet,         // JSON array of value names
    tkIdent,       // integer with names (colours, cursors, character sets): name or number
    tkClass,       // a sub-object owned by the component: JSON object of its own properties
    tkCollection,  // a collection: JSON array of item objects
    tkComponent,   // a reference to another component: JSON string with its name
    tkMethod,      // an event: JSON string with the name of the form's handler
};

// How an integer is named in form data (clRed, crHandPoint, ANSI_CHARSET ...).
struct TIdentMapping {
    std::function<bool(const std::string&, long long&)> ToValue;
    // Empty when the value has no name; it is then written as a number.
    std::function<std::string(long long)> ToName;
};

struct TPropInfo {
    std::string Name;
    TTypeKind Kind = TTypeKind::tkInteger;

    // Ordinal kinds (integer, boolean, enumeration, set, ident).
    std::function<long long(TPersistent*)> GetOrd;
    std::function<void(TPersistent*, long long)> SetOrd;
    // Strings.
    std::function<std::string(TPersistent*)> GetStr;
    std::function<void(TPersistent*, const std::string&)> SetStr;
    // Sub-objects and collections (read in place), and component references.
    std::function<TPersistent*(TPersistent*)> GetObj;
    std::function<void(TPersistent*, TComponent*)> SetComponent;
    // Events: binds a handler from the form's table; false when its type does not fit.
    std::function<bool(TPersistent*, const std::any&)> SetMethod;
    std::function<bool(TPersistent*)> MethodAssigned;

    // Names of enumeration and set values, by ordinal.
    std::shared_ptr<const std::vector<std::string>> Names;
    TIdentMapping Ident;
    // The declared default: a value equal to it is not written. None means always stored.
    std::optional<long long> Default;
    // An extra condition for writing (e.g. Font only when ParentFont is off).
    std::function<bool(TPersistent*)> Stored;

    TPropInfo StoredIf(std::function<bool(TPersistent*)> Condition) && {
        Stored = std::move(Condition);
        return std::move(*this);
    }
};

struct TClassInfo {
    std::string Name;
    std::string ParentName;
    // Creates an instance owned by Owner; empty for classes that are not components.
    std::function<TComponent*(TComponent* Owner)> Create;
    // True when the object is of this class or a descendant.
    std::function<bool(const TPersistent*)> IsInstance;
    std::vector<TPropInfo> Properties;
};

class TClassRegistry {
public:
    // The registry, with the framework's own classes registered, then every queued registrar's
    // in the order they ran. Built on first use, so it is safe to call at any time.
    static TClassRegistry& Instance();
    // Queues a table for the registry's next use, without touching the registry or anything
    // outside this call: safe while units are being initialised, whatever their order.
    static void Queue(TClassInfo Info);

    // Registers a class; a second registration of the same name replaces the first.
    void Register(TClassInfo Info);
    const TClassInfo* Find(const std::string& Name) const;
    // The table for an object: its own class's, else that of its nearest registered ancestor.
    const TClassInfo* FindFor(const TPersistent* Object) const;
    // Every published property of a class, its ancestors' first; a re-declared property
    // replaces the inherited one in place.
    std::vector<const TPropInfo*> PropertiesOf(const TClassInfo* Info) const;
    const TPropInfo* FindProperty(const TClassInfo* Info, const std::string& Name) const;

private:
    TClassRegistry();
    void TakeQueued();
    int Depth(const TClassInfo* Info) const;
    std::vector<std::unique_ptr<TClassInfo>> FClasses;
};

// Raised for form data that names a class nobody registered.
KELVOR_EXCEPTION(EClassNotFound, EReadError);

// Building property table entries from getters and setters.
namespace published {

inline constexpr std::optional<long long> NoDefault = std::nullopt;

namespace detail {
template <class T> struct IsSet : std::false_type {};
template <class E> struct IsSet<TSet<E>> : std::true_type {};

template <class T> long long ToOrd(const T& v) {
    if constexpr (IsSet<T>::value)
        return static_cast<long long>(v.Bits());
    else
        return static_cast<long long>(v);
}
template <class T> T FromOrd(long long v) {
    if constexpr (IsSet<T>::value)
        return T::FromBits(static_cast<std::uint32_t>(v));
    else if constexpr (std::is_same_v<T, bool>)
        return v != 0;
    else
        return static_cast<T>(v);
}
template <class S> struct SetterArg;
template <class C, class A> struct SetterArg<void (C::*)(A)> {
    using type = std::remove_cvref_t<A>;
};
template <class C> C* Self(TPersistent* Object) {
    return static_cast<C*>(Object);
}
template <class C, class G, class S>
TPropInfo Ordinal(TTypeKind Kind, std::string Name, G Get, S Set, std::optional<long long> Def) {
    using Arg = typename SetterArg<S>::type;
    TPropInfo p;
    p.Name = std::move(Name);
    p.Kind = Kind;
    p.GetOrd = [Get](TPersistent* o) { return ToOrd((Self<C>(o)->*Get)()); };
    p.SetOrd = [Set](TPersistent* o, long long v) { (Self<C>(o)->*Set)(FromOrd<Arg>(v)); };
    p.Default = Def;
    return p;
}
} // namespace detail

template <class C, class G, class S>
TPropInfo Integer(std::string Name, G Get, S Set, std::optional<long long> Def = 0) {
    return detail::Ordinal<C>(TTypeKind::tkInteger, std::move(Name), Get, Set, Def);
}
template <class C, class G, class S>
TPropInfo Boolean(std::string Name, G Get, S Set, std::optional<long long> Def = 0) {
    return detail::Ordinal<C>(TTypeKind::tkBoolean, std::move(Name), Get, Set, Def);
}
template <class C, class G, class S>
TPropInfo Enum(std::string Name, G Get, S Set, std::vector<std::string> Names,
               std::optional<long long> Def = 0) {
    TPropInfo p = detail::Ordinal<C>(TTypeKind::tkEnumeration, std::move(Name), Get, Set, Def);
    p.Names = std::make_shared<const std::vector<std::string>>(std::move(Names));
    return p;
}
template <class C, class G, class S>
TPropInfo Set(std::string Name, G Get, S Set_, std::vector<std::string> Names,
              std::optional<long long> Def = 0) {
    TPropInfo p = detail::Ordinal<C>(TTypeKind::tkSet, std::move(Name), Get, Set_, Def);
    p.Names = std::make_shared<const std::vector<std::string>>(std::move(Names));
    return p;
}
template <class C, class G, class S>
TPropInfo Ident(std::string Name, G Get, S Set, TIdentMapping Mapping,
                std::optional<long long> Def = NoDefault) {
    TPropInfo p = detail::Ordinal<C>(TTypeKind::tkIdent, std::move(Name), Get, Set, Def);
    p.Ident = std::move(Mapping);
    return p;
}
TIdentMapping ColorIdents();
TIdentMapping CursorIdents();
TIdentMapping CharsetIdents();
template <class C, class G, class S>
TPropInfo Color(std::string Name, G Get, S Set, std::optional<long long> Def = NoDefault) {
    return Ident<C>(std::move(Name), Get, Set, ColorIdents(), Def);
}
template <class C, class G, class S>
TPropInfo Cursor(std::string Name, G Get, S Set, std::optional<long long> Def = crDefault) {
    return Ident<C>(std::move(Name), Get, Set, CursorIdents(), Def);
}

// Strings are stored when not empty.
template <class C, class G, class S> TPropInfo String(std::string Name, G Get, S Set) {
    TPropInfo p;
    p.Name = std::move(Name);
    p.Kind = TTypeKind::tkString;
    p.GetStr = [Get](TPersistent* o) { return std::string((detail::Self<C>(o)->*Get)()); };
    p.SetStr = [Set](TPersistent* o, const std::string& v) { (detail::Self<C>(o)->*Set)(v); };
    return p;
}

// A sub-object owned by the component, read and written in place.
template <class C, class G> TPropInfo Object(std::string Name, G Get) {
    TPropInfo p;
    p.Name = std::move(Name);
    p.Kind = TTypeKind::tkClass;
    p.GetObj = [Get](TPersistent* o) -> TPersistent* { return (detail::Self<C>(o)->*Get)(); };
    return p;
}
// A collection; with Always, written even when empty.
template <class C, class G> TPropInfo Collection(std::string Name, G Get, bool Always = false) {
    TPropInfo p;
    p.Name = std::move(Name);
    p.Kind = TTypeKind::tkCollection;
    p.GetObj = [Get](TPersistent* o) -> TPersistent* { return (detail::Self<C>(o)->*Get)(); };
    if (!Always)
        p.Default = 0;
    return p;
}

// A reference to another component of the same form, by name.
template <class C, class T, class G, class S> TPropInfo Reference(std::string Name, G Get, S Set) {
    TPropInfo p;
    p.Name = std::move(Name);
    p.Kind = TTypeKind::tkComponent;
    p.GetObj = [Get](TPersistent* o) -> TPersistent* { return (detail::Self<C>(o)->*Get)(); };
    p.SetComponent = [Set](TPersistent* o, TComponent* c) {
        T* typed = c ? dynamic_cast<T*>(c) : nullptr;
        if (c && !typed)
            throw EReadError(c->Name() + " is a " + c->ClassName() + ", which does not fit");
        (detail::Self<C>(o)->*Set)(typed);
    };
    return p;
}

// An event: a public std::function member. A handler registered under another type does not
// bind (the reader reports it).
template <class C, class B, class F> TPropInfo Event(std::string Name, F B::*Field) {
    TPropInfo p;
    p.Name = std::move(Name);
    p.Kind = TTypeKind::tkMethod;
    p.SetMethod = [Field](TPersistent* o, const std::any& handler) {
        const F* fn = std::any_cast<F>(&handler);
        if (!fn)
            return false;
        static_cast<B*>(detail::Self<C>(o))->*Field = *fn;
        return true;
    };
    p.MethodAssigned = [Field](TPersistent* o) {
        return static_cast<bool>(static_cast<B*>(detail::Self<C>(o))->*Field);
    };
    return p;
}

} // namespace published

// Table entries for a component class (created by name with new T(Owner)) and for a
// persistent class that only appears as a sub-object or collection item.
template <class T>
TClassInfo ComponentClass(std::string Name, std::string ParentName,
                          std::vector<TPropInfo> Properties) {
    TClassInfo info;
    info.Name = std::move(Name);
    info.ParentName = std::move(ParentName);
    info.Create = [](TComponent* owner) -> TComponent* { return new T(owner); };
    info.IsInstance = [](const TPersistent* o) { return dynamic_cast<const T*>(o) != nullptr; };
    info.Properties = std::move(Properties);
    return info;
}
template <class T>
TClassInfo PersistentClass(std::string Name, std::string ParentName,
                           std::vector<TPropInfo> Properties) {
    TClassInfo info;
    info.Name = std::move(Name);
    info.ParentName = std::move(ParentName);
    info.IsInstance = [](const TPersistent* o) { return dynamic_cast<const T*>(o) != nullptr; };
    info.Properties = std::move(Properties);
    return info;
}

// Static registrars run while the program's units are being initialised, in an order the
// linker picks, so they only queue their tables (see TClassRegistry::Queue).
template <class T> struct TClassRegistrar {
    TClassRegistrar(std::string Name, std::string ParentName, std::vector<TPropInfo> Properties) {
        TClassRegistry::Queue(
            ComponentClass<T>(std::move(Name), std::move(ParentName), std::move(Properties)));
    }
};
template <class T> struct TPersistentRegistrar {
    TPersistentRegistrar(std::string Name, std::string ParentName,
                         std::vector<TPropInfo> Properties) {
        TClassRegistry::Queue(
            PersistentClass<T>(std::move(Name), std::move(ParentName), std::move(Properties)));
    }
};
