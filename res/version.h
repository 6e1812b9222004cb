/* The two versions setup.exe states, each set here only: the product it
   installs, and this setup program's own build. The version resource and the
   build's report read them from here. */
#ifndef ZELTRA_VERSION_H
#define ZELTRA_VERSION_H

#define ZL_PRODUCT_VERSION 2,0,0,518
#define ZL_SETUP_VERSION   2,0,1,0

/* Who makes it and how the list of programs names it; the release's winget
   manifest reads them from here too. */
#define ZL_PRODUCT_NAME    "ZELTRA Pro"
#define ZL_PUBLISHER       "Marlquin"
#define ZL_UNINSTALL_NAME  "Marlquin ZELTRA Pro Uninstall"

/* "2.0.0.518" from 2,0,0,518 */
#define ZL_VERSION_TEXT_(a, b, c, d) #a "." #b "." #c "." #d
#define ZL_VERSION_TEXT(v) ZL_VERSION_TEXT_(v)

#endif
