// Resource identifiers of the launcher: dialog templates, controls and PNG artwork.
#pragma once

// Dialog templates.
#define IDD_LAYERED_BACKGROUND 102  // borderless popup of the per-pixel-alpha windows
#define IDD_SKIN_MESSAGE_BOX 105    // content of the skinned message box
#define IDD_MAIN_FOREGROUND 131     // foreground of the main window (progress, status, tips)
#define IDD_FLASH 134               // invisible host of the main window

// Controls of the main foreground (template 131).
#define IDC_PROGRESS_BAR 1004
#define IDC_STATUS_LABEL 1006
#define IDC_MINIMISE_BUTTON 1007
#define IDC_CLOSE_BUTTON 1008
#define IDC_TIPS_LABEL 1009
#define IDC_GROUP_BUTTON 1010

// Controls of the message box (template 105).
#define IDC_FIRST_BUTTON 1008
#define IDC_SECOND_BUTTON 1009
#define IDC_MESSAGE_LABEL 1010

// PNG artwork (resource type "PNG").
#define IDP_CLOSE_NORMAL 130         // 24 x 24 grey cross
#define IDP_CLOSE_HIGHLIGHT 131      // 24 x 24 red cross
#define IDP_MINIMISE_NORMAL 132      // 24 x 24 grey bar
#define IDP_MINIMISE_HIGHLIGHT 133   // 24 x 24 red bar
#define IDP_MAIN_ARTWORK 137         // 780 x 340 main background artwork
#define IDP_MESSAGE_FRAME 138        // 384 x 198 message-box frame
#define IDP_ORANGE_BUTTON 139        // 136 x 48 orange face, normal
#define IDP_GREY_BUTTON 140          // 136 x 48 grey face, normal
#define IDP_PROGRESS_FILL 141        // 520 x 6 opaque gradient
#define IDP_BATTLE_PICTURE 142       // 709 x 325, carried, unused
#define IDP_DARK_BAR 143             // 467 x 16, carried, unused
#define IDP_ORANGE_BUTTON_HOVER 149  // 136 x 48 orange face, highlighted
#define IDP_GREY_BUTTON_HOVER 150    // 136 x 48 grey face, highlighted
#define IDP_GLOW_RING 155            // 80 x 80, carried, unused
#define IDP_GROUP_NORMAL 156         // 140 x 40 community-group button
#define IDP_GROUP_HIGHLIGHT 157      // 140 x 40 community-group button, highlighted
