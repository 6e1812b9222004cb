/* The payload catalogue, one line per payload row in payload-index order.
 * Included with ZL_ROW defined by its user (the program, and the host tool
 * that generates the payload resource script), so both read one table.
 *
 * ZL_ROW(resource, compressed name, source name, target name, description,
 *        icon flag, required flag, carried by the shipped payload)
 * ZL_DESC_MSG(n): the description is string-table message n, loaded at
 * start-up. */

/* Base primary list: the classic client (payload 0..3) */
ZL_ROW("EXEFILE2", "zlclient.ex_", "zlclient.exe", "zlclient.exe", "ZELTRA Pro", 1, 1, 1)
ZL_ROW("DLLFILE1", "zlcore32.dl_", "zlcore32.dll", "zlcore32.dll", "", 0, 1, 1)
ZL_ROW("CNTFILE1", "zlcore32.cn_", "zlcore32.cnt", "ZlCore32.cnt", "", 0, 0, 1)
ZL_ROW("HLPFILE1", "zlcore32.hl_", "zlcore32.hlp", "zlcore32.hlp", ZL_DESC_MSG(10012), 1, 1, 1)

/* Explorer list: the Explorer-interface shell extension (payload 4..9) */
ZL_ROW("DLLFILE2", "zlexpl32.dl_", "zlexpl32.dll", "zlexpl32.dll", "", 0, 1, 1)
ZL_ROW("DLLFILE3", "zlnsext.dl_", "zlnsext.dll", "zlnsext.dll", "", 0, 0, 1)
ZL_ROW("DLLFILE7", "zlini.dl_", "zlini.dll", "zlini.dll", "", 0, 0, 0)
ZL_ROW("CNTFILE2", "Zlns.cn_", "zlns.cnt", "zlns.cnt", "", 0, 0, 1)
ZL_ROW("HLPFILE2", "Zlns.hl_", "zlns.hlp", "zlns.hlp", ZL_DESC_MSG(10036), 1, 0, 1)
ZL_ROW("TXTFILE2", "zlexpl32.tx_", "zlexpl32.txt", "zlexpl32.txt", "ZELTRA Pro Explorer Release Notes", 0, 0, 0)

/* Utilities list (payload 10..29) */
ZL_ROW("EXEFILE3", "zlscript.ex_", "zlscript.exe", "zlscript.exe", "ZELTRA Scripting Utility", 1, 1, 1)
ZL_ROW("CNTFILE3", "zlscript.cn_", "zlscript.cnt", "zlscript.cnt", "", 0, 0, 1)
ZL_ROW("HLPFILE3", "zlscript.hl_", "zlscript.hlp", "zlscript.hlp", "ZELTRA Scripting Help", 1, 0, 1)
ZL_ROW("TXTFILE3", "zlscript.tx_", "zlscript.txt", "zlscript.txt", "ZELTRA Scripting Release Notes", 0, 0, 0)
ZL_ROW("EXEFILE1", "zlfind.ex_", "zlfind.exe", "zlfind.exe", "ZELTRA Find Utility", 1, 1, 1)
ZL_ROW("CNTFILE5", "zlfind.cn_", "zlfind.cnt", "zlfind.cnt", "", 0, 0, 1)
ZL_ROW("HLPFILE5", "zlfind.hl_", "zlfind.hlp", "zlfind.hlp", "ZELTRA Find Help", 1, 0, 1)
ZL_ROW("TXTFILE4", "zlfind.tx_", "zlfind.txt", "zlfind.txt", "ZELTRA Find Release Notes", 0, 0, 0)
ZL_ROW("EXEFILE4", "zlsync.ex_", "zlsync.exe", "zlsync.exe", "ZELTRA Synchronize Utility", 1, 1, 1)
ZL_ROW("DLLFILE4", "zlsyncd.dl_", "zlsyncd.dll", "zlsyncd.dll", "", 0, 1, 1)
ZL_ROW("CNTFILE4", "zlsync.cn_", "zlsync.cnt", "zlsync.cnt", "", 0, 0, 1)
ZL_ROW("HLPFILE4", "zlsync.hl_", "zlsync.hlp", "zlsync.hlp", "ZELTRA Synchronize Help", 1, 0, 1)
ZL_ROW("TXTFILE5", "zlsync.tx_", "zlsync.txt", "zlsync.txt", "ZELTRA Synchronize Release Notes", 0, 0, 0)
ZL_ROW("EXEFILE6", "zlqueue.ex_", "zlqueue.exe", "zlqueue.exe", "ZELTRA Queuing Utility", 1, 1, 1)
ZL_ROW("EXEFILE7", "zlsched.ex_", "zlsched.exe", "zlsched.exe", "", 0, 1, 1)
ZL_ROW("CNTFILE6", "zlqueue.cn_", "zlqueue.cnt", "zlqueue.cnt", "", 0, 0, 1)
ZL_ROW("HLPFILE7", "zlqueue.hl_", "zlqueue.hlp", "zlqueue.hlp", "ZELTRA Queue Help", 1, 0, 1)
ZL_ROW("TXTFILE7", "zlqueue.tx_", "zlqueue.txt", "zlqueue.txt", "ZELTRA Queue Release Notes", 0, 0, 0)
ZL_ROW("EXEFILE8", "zlurl.ex_", "zlurl.exe", "zlurl.exe", "", 0, 1, 1)
ZL_ROW("DLLFILE6", "zlbrowse.dl_", "zlbrowse.dll", "zlbrowse.dll", "", 0, 1, 1)

/* Base further list: icon link, uninstaller, documents, sounds (payload 30..40) */
ZL_ROW("EXEFILE5", "zllink.ex_", "zllink.exe", "zllink.exe", ZL_DESC_MSG(10053), 1, 1, 1)
ZL_ROW("DLLFILE5", "zlstub.dl_", "zlstub.dll", "zlstub.dll", "", 0, 1, 1)
ZL_ROW("REMOVEFILE", "zlrem32.ex_", "zlrem32.exe", "zlrem32.exe", ZL_DESC_MSG(10070), 1, 0, 1)
ZL_ROW("TXTFILE", "zlnews.tx_", "ZlNews.txt", "ZlNews.txt", ZL_DESC_MSG(10013), 1, 0, 1)
ZL_ROW("HLPFILE6", "zllink.hl_", "zllink.hlp", "zllink.hlp", "", 0, 0, 0)
ZL_ROW("TXTFILE6", "zlcore32.pd_", "zlcore32.pdf", "zlcore32.pdf", "ZELTRA Pro Manual", 1, 0, 1)
ZL_ROW("ORDER", "zlorder.wr_", "zlorder.wri", "zlorder.wri", "", 0, 0, 0)
ZL_ROW("LICENSE", "zllic.wr_", "zllic.wri", "zllic.wri", "", 0, 0, 0)
ZL_ROW("WAVE2", "zlconn.wa_", "zlconn.wav", "zlconn.wav", "", 0, 0, 1)
ZL_ROW("WAVE3", "zlerr.wa_", "zlerr.wav", "zlerr.wav", "", 0, 0, 1)
ZL_ROW("WAVE1", "zldone.wa_", "zldone.wav", "zldone.wav", "", 0, 0, 1)

/* Site-list list: the product INI (from its plain-text template) and the
 * eight site lists (payload 41..49) */
ZL_ROW("INIFILE1", "zeltra.in_", "ZELTRA.IN_", "zeltra.ini", "", 0, 0, 1)
ZL_ROW("INIFILE2", "sitesav.in_", "sitesav.ini", "sitesav.ini", "", 0, 0, 1)
ZL_ROW("INIFILE3", "sitesarc.in_", "sitesarc.ini", "sitesarc.ini", "", 0, 0, 1)
ZL_ROW("INIFILE4", "sitesgam.in_", "sitesgam.ini", "sitesgam.ini", "", 0, 0, 1)
ZL_ROW("INIFILE5", "siteshw.in_", "siteshw.ini", "siteshw.ini", "", 0, 0, 1)
ZL_ROW("INIFILE6", "sitesco.in_", "sitesco.ini", "sitesco.ini", "", 0, 0, 1)
ZL_ROW("INIFILE7", "sitesol.in_", "sitesol.ini", "sitesol.ini", "", 0, 0, 1)
ZL_ROW("INIFILE8", "sitessw.in_", "sitessw.ini", "sitessw.ini", "", 0, 0, 1)
ZL_ROW("INIFILE9", "sitesgov.in_", "sitesgov.ini", "sitesgov.ini", "", 0, 0, 1)
