#include "platform/linux/desktop/DesktopLook.h"

#include <cstdlib>
#include <gio/gio.h>

namespace knokle {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string stringSetting(GSettings* settings, GSettingsSchema* schema, const char* key) {
    // Reading a key the schema lacks aborts the program: older GNOME has no color-scheme.
    if (!g_settings_schema_has_key(schema, key)) return "";
    GVariant* value = g_settings_get_value(settings, key);
    std::string text;
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) text = g_variant_get_string(value, nullptr);
    g_variant_unref(value);
    return text;
}

} // namespace

DesktopAppearance readDesktopLook() {
    DesktopAppearance look;
    look.currentDesktop = environment("XDG_CURRENT_DESKTOP");
    look.gtkThemeVariable = environment("GTK_THEME");
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source ? g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE) : nullptr;
    if (schema) {
        GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
        look.colorScheme = stringSetting(settings, schema, "color-scheme");
        look.gtkTheme = stringSetting(settings, schema, "gtk-theme");
        g_object_unref(settings);
        g_settings_schema_unref(schema);
    }
    return look;
}

} // namespace knokle
