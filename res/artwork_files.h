// Which file of res/art holds which icon, bitmap or clip. The artwork
// generator writes these files, the build compiles them into the program and
// InstallResources() registers each under its id; this list is shared by all
// three.
#pragma once

#include "res/resource.h"

enum class ArtKind { Icon, Bitmap, Clip };

struct ArtworkFile {
    unsigned short id;
    ArtKind kind;
    const char* name;  // in res/art
};

inline constexpr ArtworkFile kArtworkFiles[] = {
    {IDI_APP, ArtKind::Icon, "app.ico"},
    {IDI_BROWSE, ArtKind::Icon, "browse.ico"},
    {IDI_BROWSE_BUSY, ArtKind::Icon, "browse_busy.ico"},
    {IDI_REFRESH, ArtKind::Icon, "refresh.ico"},
    {IDI_REFRESH_BUSY, ArtKind::Icon, "refresh_busy.ico"},
    {IDB_BACKUP_ON, ArtKind::Bitmap, "backup_on.bmp"},
    {IDB_BACKUP_OFF, ArtKind::Bitmap, "backup_off.bmp"},
    {IDB_RESTORE_ON, ArtKind::Bitmap, "restore_on.bmp"},
    {IDB_RESTORE_OFF, ArtKind::Bitmap, "restore_off.bmp"},
    {IDB_QUIT, ArtKind::Bitmap, "quit.bmp"},
    {IDR_AVI_BACKUP, ArtKind::Clip, "backup.avi"},
    {IDR_AVI_RESTORE, ArtKind::Clip, "restore.avi"},
};
