// GNOME's custom keybindings through GSettings (GIO's C API).
#include "desktop/CustomKeybindingStore.h"

// GIO names struct members "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <memory>
#include <utility>
#include <vector>

namespace flintly::desktop {

namespace {

constexpr char kListSchema[] = "org.gnome.settings-daemon.plugins.media-keys";
constexpr char kEntrySchema[] = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
constexpr char kListKey[] = "custom-keybindings";

struct Unref {
    void operator()(GSettings* s) const { g_object_unref(s); }
    void operator()(GSettingsSchema* s) const { g_settings_schema_unref(s); }
};
using Settings = std::unique_ptr<GSettings, Unref>;
using Schema = std::unique_ptr<GSettingsSchema, Unref>;

// GSettings ends the process on a malformed path, and the list is the user's to edit.
bool isValidPath(const QByteArray& path) { return path.startsWith('/') && path.endsWith('/') && !path.contains("//"); }

Schema lookUp(const char* id)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    return Schema(source ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr);
}

QString takeString(gchar* s)
{
    const QString text = QString::fromUtf8(s);
    g_free(s);
    return text;
}

class GioCustomKeybindingStore final : public CustomKeybindingStore {
public:
    GioCustomKeybindingStore() : listSchema_(lookUp(kListSchema)), entrySchema_(lookUp(kEntrySchema))
    {
        // Asking GSettings for a schema or key that is not installed ends the process:
        // everything below checks for them first.
        const bool complete = listSchema_ && entrySchema_ && g_settings_schema_has_key(listSchema_.get(), kListKey)
            && g_settings_schema_has_key(entrySchema_.get(), "name")
            && g_settings_schema_has_key(entrySchema_.get(), "command")
            && g_settings_schema_has_key(entrySchema_.get(), "binding");
        if (complete)
            list_.reset(g_settings_new_full(listSchema_.get(), nullptr, nullptr));
    }

    bool isAvailable() const override { return list_ != nullptr; }

    QStringList paths() const override
    {
        QStringList paths;
        if (!list_)
            return paths;
        gchar** values = g_settings_get_strv(list_.get(), kListKey);
        for (gchar** v = values; v && *v; ++v)
            paths.append(QString::fromUtf8(*v));
        g_strfreev(values);
        return paths;
    }

    bool setPaths(const QStringList& paths) override
    {
        if (!list_)
            return false;
        std::vector<QByteArray> bytes;
        std::vector<const gchar*> values;
        for (const QString& p : paths)
            bytes.push_back(p.toUtf8());
        for (const QByteArray& b : bytes)
            values.push_back(b.constData());
        values.push_back(nullptr);
        return g_settings_set_strv(list_.get(), kListKey, values.data());
    }

    Entry entry(const QString& path) const override
    {
        const Settings s = at(path);
        if (!s)
            return {};
        return {takeString(g_settings_get_string(s.get(), "name")),
                takeString(g_settings_get_string(s.get(), "command")),
                takeString(g_settings_get_string(s.get(), "binding"))};
    }

    bool setEntry(const QString& path, const Entry& entry) override
    {
        const Settings s = at(path);
        if (!s)
            return false;
        bool ok = true;
        for (const auto& [key, value] :
             {std::pair{"name", entry.name}, {"command", entry.command}, {"binding", entry.binding}})
            ok = g_settings_set_string(s.get(), key, value.toUtf8().constData()) && ok;
        return ok;
    }

    void resetEntry(const QString& path) override
    {
        if (const Settings s = at(path))
            for (const char* key : {"name", "command", "binding"})
                g_settings_reset(s.get(), key);
    }

    void sync() override { g_settings_sync(); }

private:
    Settings at(const QString& path) const
    {
        const QByteArray p = path.toUtf8();
        if (!list_ || !isValidPath(p))
            return nullptr;
        return Settings(g_settings_new_full(entrySchema_.get(), nullptr, p.constData()));
    }

    Schema listSchema_;
    Schema entrySchema_;
    Settings list_;
};

}  // namespace

std::unique_ptr<CustomKeybindingStore> CustomKeybindingStore::gsettings()
{
    return std::make_unique<GioCustomKeybindingStore>();
}

}  // namespace flintly::desktop
