/*
 * The type finder for DBM0 modules: media type audio/x-dbm, extension .dbm.
 *
 * A stream that begins with "DBM0" and a format version byte of 2 or 3 is a
 * module for certain; "DBM0" with another version is still most likely one
 * (dbmdec then reports the version it does not know). The type finder ranks
 * above GStreamer's generic module type finder so that DBM0 files reach
 * dbmdec by type finding alone.
 */
#ifndef DBM_TYPEFIND_H
#define DBM_TYPEFIND_H

#include <gst/gst.h>

#define DBM_MEDIA_TYPE "audio/x-dbm"

gboolean dbm_typefind_register(GstPlugin *plugin);

#endif
