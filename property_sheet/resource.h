// Resource identifiers of Tabliq: its registry scripts, the thumbnail page's
// dialog template with its controls, and the skinned controls' bitmaps.
#pragma once

#define IDR_TABLIQ 101      // REGISTRY: the AppID
#define IDR_THUMBTABLIQ 103 // REGISTRY: the property sheet handler class

#define IDD_THUMBNAIL_PAGE 204

// Controls of the thumbnail page.
#define IDC_STOP 204
#define IDC_PREVIEW 206
#define IDC_PLAY 212
#define IDC_STEP_BACK 213
#define IDC_STEP_FORWARD 214
#define IDC_SLIDER 215
#define IDC_STORE 216
#define IDC_GRAB_HOST 217

// Face strips of the buttons (four faces: normal, hover, pressed, disabled).
#define IDB_PLAY 207
#define IDB_PAUSE 208
#define IDB_STOP 209
#define IDB_STEP_BACK 210
#define IDB_STEP_FORWARD 211
#define IDB_STORE 217

// The slider's thumb, track and caps.
#define IDB_SLIDER_THUMB 213
#define IDB_SLIDER_TRACK 214
#define IDB_SLIDER_LEFT_CAP 215
#define IDB_SLIDER_RIGHT_CAP 216
