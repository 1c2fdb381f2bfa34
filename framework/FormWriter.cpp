#include "framework/FormWriter.h"

#include "framework/ClassRegistry.h"
#include "framework/Collections.h"
#include "framework/FormData.h"
#include "framework/Streams.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using formdata::ToJsonString;

namespace {

// The writer side of a class's extra values: each value with data is put in the object.
class JsonFiler : public TWriter {
public:
    explicit JsonFiler(QJsonObject& props) : FProps(props) {}

    void DefineProperty(const std::string& name, const std::function<void(TReader&)>&,
                        const std::function<void(TWriter&)>& writeData, bool hasData) override {
        if (!hasData || !writeData)
            return;
        FValue = QJsonValue();
        writeData(*this);
        FProps.insert(QString::fromStdString(name), FValue);
    }
    void DefineBinaryProperty(const std::string& name, const std::function<void(TStream&)>&,
                              const std::function<void(TStream&)>& writeData,
                              bool hasData) override {
        if (!hasData || !writeData)
            return;
        TMemoryStream stream;
        writeData(stream);
        const QByteArray bytes(reinterpret_cast<const char*>(stream.Memory()),
                               static_cast<qsizetype>(stream.Size()));
        FProps.insert(QString::fromStdString(name), QString::fromLatin1(bytes.toBase64()));
    }
    void WriteString(const std::string& value) override { FValue = ToJsonString(value); }
    void WriteInteger(long long value) override { FValue = static_cast<qint64>(value); }
    void WriteBoolean(bool value) override { FValue = value; }
    void WriteStringList(const std::vector<std::string>& value) override {
        QJsonArray array;
        for (const auto& s : value)
            array.append(ToJsonString(s));
        FValue = array;
    }

private:
    QJsonObject& FProps;
    QJsonValue FValue;
};

QJsonValue NamesOf(const TPropInfo& p, long long bits) {
    QJsonArray names;
    for (size_t i = 0; i < p.Names->size(); ++i)
        if (bits & (1LL << i))
            names.append(QString::fromStdString((*p.Names)[i]));
    return names;
}

QJsonValue OrdinalValue(const TPropInfo& p, long long v) {
    switch (p.Kind) {
    case TTypeKind::tkBoolean:
        return v != 0;
    case TTypeKind::tkEnumeration:
        if (v >= 0 && static_cast<size_t>(v) < p.Names->size())
            return QString::fromStdString((*p.Names)[static_cast<size_t>(v)]);
        return static_cast<qint64>(v);
    case TTypeKind::tkSet:
        return NamesOf(p, v);
    case TTypeKind::tkIdent: {
        const std::string name = p.Ident.ToName ? p.Ident.ToName(v) : std::string();
        if (!name.empty())
            return QString::fromStdString(name);
        return static_cast<qint64>(v);
    }
    default:
        return static_cast<qint64>(v);
    }
}

QJsonObject WriteProperties(TPersistent* object, TPersistent* ancestor) {
    TClassRegistry& registry = TClassRegistry::Instance();
    QJsonObject props;
    if (const TClassInfo* info = registry.FindFor(object)) {
        for (const TPropInfo* p : registry.PropertiesOf(info)) {
            if (p->Stored && !p->Stored(object))
                continue;
            const QString key = QString::fromStdString(p->Name);
            switch (p->Kind) {
            case TTypeKind::tkInteger:
            case TTypeKind::tkBoolean:
            case TTypeKind::tkEnumeration:
            case TTypeKind::tkSet:
            case TTypeKind::tkIdent: {
                const long long v = p->GetOrd(object);
                if (ancestor ? v == p->GetOrd(ancestor) : (p->Default && v == *p->Default))
                    continue;
                props.insert(key, OrdinalValue(*p, v));
                break;
            }
            case TTypeKind::tkString: {
                const std::string v = p->GetStr(object);
                if (ancestor ? v == p->GetStr(ancestor) : v.empty())
                    continue;
                props.insert(key, ToJsonString(v));
                break;
            }
            case TTypeKind::tkClass: {
                TPersistent* sub = p->GetObj(object);
                if (!sub)
                    continue;
                const QJsonObject o =
                    WriteProperties(sub, ancestor ? p->GetObj(ancestor) : nullptr);
                if (!o.isEmpty())
                    props.insert(key, o);
                break;
            }
            case TTypeKind::tkCollection: {
                auto* collection = dynamic_cast<TCollection*>(p->GetObj(object));
                if (!collection || (collection->Count() == 0 && p->Default))
                    continue;
                QJsonArray items;
                for (int i = 0; i < collection->Count(); ++i)
                    items.append(WriteProperties(collection->Items(i), nullptr));
                props.insert(key, items);
                break;
            }
            case TTypeKind::tkComponent: {
                auto* target = dynamic_cast<TComponent*>(p->GetObj(object));
                if (!target || target->Name().empty())
                    continue;
                if (ancestor) {
                    auto* old = dynamic_cast<TComponent*>(p->GetObj(ancestor));
                    if (old && old->Name() == target->Name())
                        continue;
                }
                props.insert(key, ToJsonString(target->Name()));
                break;
            }
            case TTypeKind::tkMethod: {
                auto* component = dynamic_cast<TComponent*>(object);
                if (!component || !p->MethodAssigned(object))
                    continue;
                // A handler set in code has no name to write.
                const std::string handler = component->HandlerBinding(p->Name);
                if (handler.empty())
                    continue;
                if (auto* old = dynamic_cast<TComponent*>(ancestor);
                    old && old->HandlerBinding(p->Name) == handler)
                    continue;
                props.insert(key, ToJsonString(handler));
                break;
            }
            }
        }
    }
    JsonFiler filer(props);
    filer.SetAncestor(ancestor);
    object->DefineProperties(filer);
    return props;
}

bool IsChildOf(TComponent* c, TComponent* parent, TComponent* root) {
    TComponent* p = c->GetParentComponent();
    if (parent == root)
        return p == nullptr || p == root;
    return p == parent;
}

QJsonObject WriteComponent(TComponent* c, TComponent* root, TComponent* ancestorRoot) {
    QJsonObject o;
    o.insert("class", QString::fromStdString(c->ClassName()));
    if (!c->Name().empty())
        o.insert("name", ToJsonString(c->Name()));
    TComponent* ancestor = nullptr;
    if (ancestorRoot)
        ancestor = c == root ? ancestorRoot : ancestorRoot->FindComponent(c->Name());
    const QJsonObject props = WriteProperties(c, ancestor);
    if (!props.isEmpty())
        o.insert("properties", props);
    QJsonArray children;
    for (int i = 0; i < root->ComponentCount(); ++i) {
        TComponent* child = root->Components(i);
        if (child != c && IsChildOf(child, c, root))
            children.append(WriteComponent(child, root, ancestorRoot));
    }
    if (!children.isEmpty())
        o.insert("components", children);
    return o;
}

} // namespace

std::string WriteComponentData(TComponent* Root, TComponent* Ancestor) {
    const QJsonObject top = WriteComponent(Root, Root, Ancestor);
    return QJsonDocument(top).toJson(QJsonDocument::Indented).toStdString();
}
