#pragma once
// Resource ids of the dialogs, shared by the resource script and the code.

// Dialog templates
#define IDD_NOTIFY 19520
#define IDD_UPDATE 19521

// Controls
#define IDC_CLOSE_BUTTON 19504       // update: "关闭"; notification: the small "x"
#define IDC_TITLE_CLOSE 19505        // update: the small "x"
#define IDC_LATER 19506              // notification: "下次升级 "
#define IDC_NOTIFY_UPGRADE 19507     // notification: "立即升级"
#define IDC_UPGRADE 19508            // update: "立即升级"
#define IDC_PROGRESS 19509
#define IDC_CURRENT_VERSION 19510
#define IDC_MESSAGE 19511
#define IDC_UPDATABLE 19512          // "可更新，" after the version
#define IDC_QUESTION 19513           // the question under the message
#define IDC_STATUS_ICON 19514
#define IDC_NEW_VERSION 19515
#define IDC_WEBSITE_LINK 19516
#define IDC_HEADLINE 19517           // the heading picture; its window text says what the picture says
#define IDC_TITLE 19518
#define IDC_VERSION 19519

// Bitmaps of the progress bar
#define IDB_PROGRESS_TRACK 19500
#define IDB_PROGRESS_MIDDLE 19501
#define IDB_PROGRESS_LEFT 19502
#define IDB_PROGRESS_RIGHT 19503

// PNG pictures
#define IDP_NOTIFY_BACKGROUND 19523
#define IDP_BUTTON_PRESSED 19524
#define IDP_BUTTON_NORMAL 19525
#define IDP_BUTTON_HOVER 19526
#define IDP_CLOSE_NORMAL 19527
#define IDP_CLOSE_PRESSED 19528
#define IDP_CLOSE_HOVER 19529
#define IDP_UP_TO_DATE 19530
#define IDP_UPDATE_AVAILABLE 19531
#define IDP_CAPTION_DOWNLOADING 19532
#define IDP_CAPTION_FOUND 19533
#define IDP_CAPTION_NONE 19534
#define IDP_CAPTION_INSTALLING 19535
#define IDP_UPDATE_BACKGROUND 19536
#define IDP_CAPTION_CHECK_FAILED 19537
#define IDP_CAPTION_UPDATE_FAILED 19538

// Texts of the string table
#define IDS_UPDATE_TITLE 19540       // the update dialog's window text
#define IDS_NOTIFY_TITLE 19541       // the notification's window text
#define IDS_UP_TO_DATE 19542         // the up-to-date face's message
#define IDS_UPGRADE_STARTED 19543    // the download has started
// What the message line says after a failure, by whose fault it was:
#define IDS_CONNECTION_FAILED 19544  // no server could be reached or answered
#define IDS_UPDATE_FAILED 19545      // the run was asked for what it refuses to do (a package name)
#define IDS_RELEASE_REFUSED 19546    // what a server sent was refused
#define IDS_LOCAL_FILES_FAILED 19547 // a local file could not be read or written
// The words that the heading pictures (IDP_CAPTION_*) show; tools/pictures/make_pictures.py draws them:
#define IDS_CAPTION_FOUND 19548
#define IDS_CAPTION_NONE 19549
#define IDS_CAPTION_CHECK_FAILED 19550
#define IDS_CAPTION_DOWNLOADING 19551
#define IDS_CAPTION_INSTALLING 19552
#define IDS_CAPTION_UPDATE_FAILED 19553
