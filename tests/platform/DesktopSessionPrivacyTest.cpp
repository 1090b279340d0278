// GLib first: its headers name a field "signals", which Qt's headers define away.
#include <gio/gio.h>

#include "platform/linux/desktop/DesktopSessionPrivacy.h"

#include "QtEventLoop.h"
#include "ScopedEnv.h"

#include <gtest/gtest.h>

using namespace knokle;

TEST(DesktopSessionPrivacy, GnomesMicrophoneSwitchIsReadAndFollowed) {
    // In memory: the user's own settings are never touched.
    test::ScopedEnv backend("GSETTINGS_BACKEND", "memory");
    GSettingsSchemaSource* schemas = g_settings_schema_source_get_default();
    GSettingsSchema* schema = schemas ? g_settings_schema_source_lookup(schemas, "org.gnome.desktop.privacy", TRUE) : nullptr;
    if (!schema) GTEST_SKIP() << "GNOME's privacy schema is not installed";
    g_settings_schema_unref(schema);
    test::ensureQtApplication();

    DesktopSessionPrivacy privacy;
    int changes = 0;
    privacy.onChanged = [&] { ++changes; };
    ASSERT_TRUE(privacy.knowsPrivacySwitch());
    EXPECT_FALSE(privacy.microphoneDisabled());
    GSettings* settings = g_settings_new("org.gnome.desktop.privacy");
    g_settings_set_boolean(settings, "disable-microphone", TRUE);
    EXPECT_TRUE(test::runEventsUntil([&] { return changes > 0; }, 2000));
    EXPECT_TRUE(privacy.microphoneDisabled());
    g_object_unref(settings);
}
