/* Resource ids shared by pelikant.rc and the C++ code. Plain defines so windres can read them. */
#ifndef PELIKANT_RESOURCE_H
#define PELIKANT_RESOURCE_H

/* Icons, 16x16 and 32x32. */
#define IDI_PELIKANT 5000                    /* program and tray icon: blue globe with rings */
#define IDI_NEW_POSTS 5001                   /* tray and balloon icon: new forum posts */
#define IDI_TOPIC_OPEN 5002                  /* page with an arrow */
#define IDI_TOPIC_PINNED 5003                /* badge with an exclamation mark */
#define IDI_TOPIC_OPEN_VISITED 5004          /* page with an arrow and a tick */
#define IDI_TOPIC_PINNED_VISITED 5005        /* badge with a tick */
#define IDI_TOPIC_CLOSED 5006                /* page with a padlock */
#define IDI_TOPIC_CLOSED_PINNED 5007         /* badge with a padlock */
#define IDI_TOPIC_CLOSED_VISITED 5008        /* page with a padlock and a tick */
#define IDI_TOPIC_CLOSED_PINNED_VISITED 5009 /* badge with a padlock and a tick */

/* The documentation index, an RT_RCDATA resource holding documentation.xml. */
#define IDR_DOCUMENTATION 5010

/* Tray menu: a bar whose popup 0 ("&Plik") holds the commands; "Wstrzymaj powiadomienia" is a
   popup of its own within it. */
#define IDM_TRAY 6000
#define IDM_SHOW 6001
#define IDM_EXIT 6002
#define IDM_CHECK_NOW 6003
#define IDM_MARK_ALL_READ 6004
#define IDM_PAUSE_HOUR 6005
#define IDM_PAUSE_TOMORROW 6006
#define IDM_RESUME 6007
#define IDM_AUTOSTART 6008
#define IDM_ONLY_FOLLOWED 6009

/* A row's menu in the result list, and a topic's in the forum list (the same two commands
   first): a bar whose popup 0 holds the commands. */
#define IDM_ROW 6010
#define IDM_OPEN 6011
#define IDM_COPY_ADDRESS 6012
#define IDM_TOPIC 6013
#define IDM_MARK_READ 6014
#define IDM_FOLLOW 6015
#define IDM_MUTE 6016

#endif
