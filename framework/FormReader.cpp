#include "framework/FormReader.h"

#include "framework/ClassRegistry.h"
#include "framework/Collections.h"
#include "framework/Exceptions.h"
#include "framework/FormData.h"
#include "framework/Streams.h"
#include "framework/SysUtils.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cmath>
#include <set>

using formdata::FromJsonString;

const std::any* TFormBindings::FindHandler(const std::string& Name) const {
    auto it = FHandlers.find(Name);
    return it == FHandlers.end() ? nullptr : &it->second;
}

bool TFormBindings::BindField(const std::string& Name, TComponent* Component) const {
    auto it = FFields.find(Name);
    return it == FFields.end() || it->second(Component);
}

namespace {

[[noreturn]] void Fail(const std::string& where, const std::string& detail) {
    throw EReadError("Error reading " + where + ": " + detail);
}

std::string JsonTypeName(const QJsonValue& v) {
    switch (v.type()) {
    case QJsonValue::Null:
        return "null";
    case QJsonValue::Bool:
        return "a boolean";
    case QJsonValue::Double:
        return "a number";
    case QJsonValue::String:
        return "a string";
    case QJsonValue::Array:
        return "an array";
    case QJsonValue::Object:
        return "an object";
    default:
        return "nothing";
    }
}

long long IntegerOf(const QJsonValue& v, const std::string& where) {
    if (!v.isDouble())
        Fail(where, "expected a number, found " + JsonTypeName(v));
    const double d = v.toDouble();
    // The range test comes first: converting a double beyond long long is undefined.
    if (!(d >= -0x1p63 && d < 0x1p63) || d != std::trunc(d))
        Fail(where, "expected an integer, found " + QString::number(d, 'g', 17).toStdString());
    return static_cast<long long>(d);
}

std::string StringOf(const QJsonValue& v, const std::string& where) {
    if (!v.isString())
        Fail(where, "expected a string, found " + JsonTypeName(v));
    return FromJsonString(v.toString());
}

std::string Joined(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names)
        out += (out.empty() ? "" : ", ") + n;
    return out;
}

long long EnumValue(const TPropInfo& p, const std::string& name, const std::string& where) {
    for (size_t i = 0; i < p.Names->size(); ++i)
        if (SameText((*p.Names)[i], name))
            return static_cast<long long>(i);
    Fail(where, "'" + name + "' is not a valid value (expected one of " + Joined(*p.Names) + ")");
}

// The reader side of a class's extra values: it hands each defined value that is present.
class JsonFiler : public TReader {
public:
    JsonFiler(const QJsonObject& props, std::set<QString>& consumed, std::string where)
        : FProps(props), FConsumed(consumed), FWhere(std::move(where)) {}

    void DefineProperty(const std::string& name, const std::function<void(TReader&)>& readData,
                        const std::function<void(TWriter&)>&, bool) override {
        const QString key = QString::fromStdString(name);
        if (!FProps.contains(key) || !readData)
            return;
        FConsumed.insert(key);
        FValue = FProps.value(key);
        FName = FWhere + "." + name;
        readData(*this);
    }
    void DefineBinaryProperty(const std::string& name,
                              const std::function<void(TStream&)>& readData,
                              const std::function<void(TStream&)>&, bool) override {
        const QString key = QString::fromStdString(name);
        if (!FProps.contains(key) || !readData)
            return;
        FConsumed.insert(key);
        FName = FWhere + "." + name;
        const QJsonValue v = FProps.value(key);
        if (!v.isString())
            Fail(FName, "expected base64 text, found " + JsonTypeName(v));
        const QByteArray bytes = QByteArray::fromBase64(v.toString().toLatin1());
        TMemoryStream stream;
        stream.WriteBuffer(bytes.constData(), bytes.size());
        stream.SetPosition(0);
        readData(stream);
    }
    std::string ReadString() override { return StringOf(FValue, FName); }
    long long ReadInteger() override { return IntegerOf(FValue, FName); }
    bool ReadBoolean() override {
        if (!FValue.isBool())
            Fail(FName, "expected a boolean, found " + JsonTypeName(FValue));
        return FValue.toBool();
    }
    std::vector<std::string> ReadStringList() override {
        if (!FValue.isArray())
            Fail(FName, "expected an array of strings, found " + JsonTypeName(FValue));
        std::vector<std::string> out;
        for (const QJsonValue item : FValue.toArray())
            out.push_back(StringOf(item, FName));
        return out;
    }

private:
    const QJsonObject& FProps;
    std::set<QString>& FConsumed;
    std::string FWhere;
    std::string FName;
    QJsonValue FValue;
};

struct Fixup {
    TPersistent* object;
    const TPropInfo* prop;
    std::string target;
    std::string where;
};

class FormReader {
public:
    FormReader(TComponent* root, const TFormBindings* bindings)
        : FRoot(root), FBindings(bindings), FRegistry(TClassRegistry::Instance()) {}

    void Read(const QJsonObject& top) {
        CheckKeys(top, "form data");
        const std::string className = StringOf(top.value("class"), "form data.class");
        if (!SameText(className, FRoot->ClassName()))
            Fail("form data", "it describes a " + className + ", not a " + FRoot->ClassName());
        FRoot->BeginLoading();
        FLoaded.push_back(FRoot);
        try {
            if (top.contains("name")) {
                const std::string name = StringOf(top.value("name"), "form data.name");
                try {
                    FRoot->SetName(name);
                } catch (const std::exception& e) {
                    Fail("form data.name", e.what());
                }
            }
            const std::string where = FRoot->Name().empty() ? FRoot->ClassName() : FRoot->Name();
            ReadProperties(FRoot, ObjectOf(top, "properties", where), where);
            ReadChildren(top, FRoot, where);
            ResolveFixups();
        } catch (...) {
            // Leave nothing half-read behind: the components of this read go again.
            for (auto it = FCreated.rbegin(); it != FCreated.rend(); ++it) {
                if (FBindings)
                    FBindings->BindField((*it)->Name(), nullptr);
                delete *it;
            }
            FRoot->EndReading();
            FRoot->FinishLoading();
            throw;
        }
        for (TComponent* c : FLoaded)
            c->EndReading();
        for (TComponent* c : FLoaded)
            c->FinishLoading();
    }

private:
    static void CheckKeys(const QJsonObject& o, const std::string& where) {
        for (auto it = o.begin(); it != o.end(); ++it) {
            const QString k = it.key();
            if (k != "class" && k != "name" && k != "properties" && k != "components")
                Fail(where, "unknown entry '" + k.toStdString() + "'");
        }
    }

    static QJsonObject ObjectOf(const QJsonObject& o, const char* key, const std::string& where) {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return {};
        if (!v.isObject())
            Fail(where + "." + key, "expected an object, found " + JsonTypeName(v));
        return v.toObject();
    }

    void ReadChildren(const QJsonObject& o, TComponent* parent, const std::string& where) {
        const QJsonValue v = o.value("components");
        if (v.isUndefined())
            return;
        if (!v.isArray())
            Fail(where + ".components", "expected an array, found " + JsonTypeName(v));
        for (const QJsonValue child : v.toArray()) {
            if (!child.isObject())
                Fail(where + ".components", "expected an object, found " + JsonTypeName(child));
            ReadComponent(child.toObject(), parent, where);
        }
    }

    void ReadComponent(const QJsonObject& o, TComponent* parent, const std::string& parentWhere) {
        const std::string name =
            o.contains("name") ? StringOf(o.value("name"), parentWhere + ".name") : "";
        const std::string where = name.empty() ? parentWhere + ".<unnamed>" : name;
        CheckKeys(o, where);
        const std::string className = StringOf(o.value("class"), where + ".class");
        const TClassInfo* info = FRegistry.Find(className);
        if (!info || !info->Create)
            throw EClassNotFound("Class " + className + " not found (reading " + where + ")");
        TComponent* c = info->Create(FRoot);
        FCreated.push_back(c);
        c->BeginLoading();
        FLoaded.push_back(c);
        try {
            c->SetName(name);
        } catch (const std::exception& e) {
            Fail(where, e.what());
        }
        if (FBindings && !FBindings->BindField(name, c))
            Fail(where,
                 "the field " + name + " of " + FRoot->ClassName() + " cannot hold a " + className);
        c->SetParentComponent(parent);
        ReadProperties(c, ObjectOf(o, "properties", where), where);
        ReadChildren(o, c, where);
    }

    void ReadProperties(TPersistent* object, const QJsonObject& props, const std::string& where) {
        const TClassInfo* info = FRegistry.FindFor(object);
        std::set<QString> consumed;
        if (info) {
            for (const TPropInfo* p : FRegistry.PropertiesOf(info)) {
                const QString key = QString::fromStdString(p->Name);
                if (!props.contains(key))
                    continue;
                consumed.insert(key);
                ReadProperty(object, *p, props.value(key), where + "." + p->Name);
            }
        }
        JsonFiler filer(props, consumed, where);
        object->DefineProperties(filer);
        for (auto it = props.begin(); it != props.end(); ++it)
            if (!consumed.count(it.key()))
                Fail(where + "." + it.key().toStdString(),
                     "the property does not exist in " + object->ClassName());
    }

    void ReadProperty(TPersistent* object, const TPropInfo& p, const QJsonValue& v,
                      const std::string& where) {
        try {
            Apply(object, p, v, where);
        } catch (const EReadError&) {
            throw;
        } catch (const std::exception& e) {
            // A setter refused the value.
            Fail(where, e.what());
        }
    }

    void Apply(TPersistent* object, const TPropInfo& p, const QJsonValue& v,
               const std::string& where) {
        switch (p.Kind) {
        case TTypeKind::tkInteger:
            p.SetOrd(object, IntegerOf(v, where));
            return;
        case TTypeKind::tkBoolean:
            if (!v.isBool())
                Fail(where, "expected true or false, found " + JsonTypeName(v));
            p.SetOrd(object, v.toBool() ? 1 : 0);
            return;
        case TTypeKind::tkString:
            p.SetStr(object, StringOf(v, where));
            return;
        case TTypeKind::tkEnumeration:
            p.SetOrd(object, EnumValue(p, StringOf(v, where), where));
            return;
        case TTypeKind::tkSet: {
            if (!v.isArray())
                Fail(where, "expected an array of names, found " + JsonTypeName(v));
            long long bits = 0;
            for (const QJsonValue item : v.toArray()) {
                const long long bit = EnumValue(p, StringOf(item, where), where);
                if (bit >= 64)
                    Fail(where, "'" + item.toString().toStdString() + "' does not fit in a set");
                bits |= 1LL << bit;
            }
            p.SetOrd(object, bits);
            return;
        }
        case TTypeKind::tkIdent: {
            if (v.isDouble()) {
                p.SetOrd(object, IntegerOf(v, where));
                return;
            }
            const std::string name = StringOf(v, where);
            long long value = 0;
            if (!p.Ident.ToValue(name, value))
                Fail(where, "'" + name + "' is not a valid value");
            p.SetOrd(object, value);
            return;
        }
        case TTypeKind::tkClass: {
            if (!v.isObject())
                Fail(where, "expected an object, found " + JsonTypeName(v));
            TPersistent* sub = p.GetObj(object);
            if (!sub)
                Fail(where, "the object does not exist");
            ReadProperties(sub, v.toObject(), where);
            return;
        }
        case TTypeKind::tkCollection: {
            if (!v.isArray())
                Fail(where, "expected an array of items, found " + JsonTypeName(v));
            auto* collection = dynamic_cast<TCollection*>(p.GetObj(object));
            if (!collection)
                Fail(where, "the collection does not exist");
            collection->Clear();
            int index = 0;
            for (const QJsonValue item : v.toArray()) {
                const std::string itemWhere = where + "[" + std::to_string(index++) + "]";
                if (!item.isObject())
                    Fail(itemWhere, "expected an object, found " + JsonTypeName(item));
                ReadProperties(collection->Add(), item.toObject(), itemWhere);
            }
            return;
        }
        case TTypeKind::tkComponent:
            if (v.isNull()) {
                p.SetComponent(object, nullptr);
                return;
            }
            // The component may come later in the data; references are resolved at the end.
            FFixups.push_back({object, &p, StringOf(v, where), where});
            return;
        case TTypeKind::tkMethod: {
            const std::string handler = StringOf(v, where);
            const std::any* fn = FBindings ? FBindings->FindHandler(handler) : nullptr;
            if (!fn)
                Fail(where, "the handler " + handler + " does not exist in " + FRoot->ClassName());
            if (!p.SetMethod(object, *fn))
                Fail(where, "the handler " + handler + " does not have the type of this event");
            if (auto* component = dynamic_cast<TComponent*>(object))
                component->SetHandlerBinding(p.Name, handler);
            return;
        }
        }
    }

    void ResolveFixups() {
        for (const Fixup& f : FFixups) {
            TComponent* target =
                SameText(f.target, FRoot->Name()) ? FRoot : FRoot->FindComponent(f.target);
            if (!target)
                Fail(f.where, "the component " + f.target + " does not exist");
            ReadPropertyValue(f, target);
        }
    }

    void ReadPropertyValue(const Fixup& f, TComponent* target) {
        try {
            f.prop->SetComponent(f.object, target);
        } catch (const std::exception& e) {
            Fail(f.where, e.what());
        }
    }

    TComponent* FRoot;
    const TFormBindings* FBindings;
    TClassRegistry& FRegistry;
    std::vector<TComponent*> FCreated;
    std::vector<TComponent*> FLoaded;
    std::vector<Fixup> FFixups;
};

} // namespace

void ReadComponentData(TComponent* Root, const std::string& Json, const TFormBindings* Bindings) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray(Json.data(), static_cast<qsizetype>(Json.size())), &error);
    if (error.error != QJsonParseError::NoError)
        throw EReadError(Format("Form data is not valid JSON: %s at offset %d",
                                error.errorString().toStdString(), error.offset));
    if (!doc.isObject())
        throw EReadError("Form data is not valid JSON: the top level is not an object");
    FormReader(Root, Bindings).Read(doc.object());
}
