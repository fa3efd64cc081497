// The program's compiled-in resources.
#pragma once

// Makes the resources known to the platform layer; called once at start-up,
// before the first window or string is loaded. All but the strings are
// registered in English (0x0409), as a resource compiler would lay them out:
//   RT_STRING      one entry per string id, English and Japanese (UTF-8)
//   RT_VERSION     id 1, the VS_VERSIONINFO block of res/version.h
//   RT_GROUP_ICON  each IDI_ id: an icon directory whose entries name
//   RT_ICON        images numbered from 1, each a DIB with its AND mask
//   RT_BITMAP      each IDB_ id: the .bmp without its 14-byte file header
//   "AVI"          each IDR_AVI_ id: the whole RIFF file
// The dialog templates are data (res/templates.h), not resources.
void InstallResources();
