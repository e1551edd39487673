/* The GStreamer plug-in "dbm": the DBM0 type finder and the dbmdec element. */
#include "dbm_typefind.h"
#include "dbmdec.h"

#include <gst/gst.h>

static gboolean plugin_init(GstPlugin *plugin)
{
    return dbm_typefind_register(plugin) && dbm_dec_register(plugin);
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, dbm, "DBM0 music modules", plugin_init, DBM_GST_VERSION,
                  GST_LICENSE_UNKNOWN, "digibooster.kvp", "Unknown package origin")
