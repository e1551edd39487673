/* The type finder for DBM0 modules (see dbm_typefind.h). */
#include "dbm_typefind.h"

#include <string.h>

static void dbm_typefind(GstTypeFind *find, gpointer user_data)
{
    (void)user_data;
    const guint8 *magic = gst_type_find_peek(find, 0, 4);
    if (!magic || memcmp(magic, "DBM0", 4) != 0)
        return;
    const guint8 *version = gst_type_find_peek(find, 4, 1);
    const gboolean known_version = version && (*version == 2 || *version == 3);
    gst_type_find_suggest_empty_simple(find, known_version ? GST_TYPE_FIND_MAXIMUM : GST_TYPE_FIND_LIKELY,
                                       DBM_MEDIA_TYPE);
}

gboolean dbm_typefind_register(GstPlugin *plugin)
{
    GstCaps *caps = gst_caps_new_empty_simple(DBM_MEDIA_TYPE);
    const gboolean registered =
        gst_type_find_register(plugin, "dbm", GST_RANK_PRIMARY, dbm_typefind, "dbm", caps, NULL, NULL);
    gst_caps_unref(caps);
    return registered;
}
