/* The two versions setup.exe states, each set here only: the product it
   installs, and this setup program's own build. The version resource and the
   build's report read them from here. */
#ifndef ZELTRA_VERSION_H
#define ZELTRA_VERSION_H

#define ZL_PRODUCT_VERSION 2,0,0,518
#define ZL_SETUP_VERSION   2,0,1,0

/* "2.0.0.518" from 2,0,0,518 */
#define ZL_VERSION_TEXT_(a, b, c, d) #a "." #b "." #c "." #d
#define ZL_VERSION_TEXT(v) ZL_VERSION_TEXT_(v)

#endif
