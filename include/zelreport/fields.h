/* SPDX-License-Identifier: MIT */
/* The fields of a record, once, in the order of the report. Usable from C
 * and C++.
 *
 * ZELREPORT_FIELDS(TEXT, INT) expands TEXT(name, label) for each text field
 * and INT(name, label, rule) for each integer field, where rule says how an
 * element of that name sets the field:
 *   stored   the number read is stored
 *   negated  its negation is stored (wrapping in 32 bits)
 *   dropped  the element is read but the number is dropped: always 0
 *   absent   no element sets it: always 0
 * The label is the report's text in front of the value. */
#ifndef ZELREPORT_FIELDS_H
#define ZELREPORT_FIELDS_H

#define ZELREPORT_FIELDS(TEXT, INT)   \
    TEXT(nomvar, "nomvar = ")         \
    TEXT(typvar, "typvar = ")         \
    TEXT(etiket, "etiket = ")         \
    INT(ip1, "ip1    = ", stored)     \
    INT(ip2, "ip2    = ", stored)     \
    INT(ip3, "ip3    = ", stored)     \
    INT(ni, "ni     = ", stored)      \
    INT(nj, "nj     = ", stored)      \
    INT(nk, "nk     = ", stored)      \
    INT(dateo, "dateo  = ", stored)   \
    INT(deet, "deet   = ", stored)    \
    INT(npas, "npas   = ", stored)    \
    TEXT(grtyp, "grtyp  = ")          \
    INT(ig1, "ig1    = ", stored)     \
    INT(ig2, "ig2    = ", stored)     \
    INT(ig3, "ig3    = ", stored)     \
    INT(ig4, "ig4    = ", stored)     \
    INT(nbits, "nbits  = ", negated)  \
    INT(datyp, "datyp  = ", stored)   \
    INT(swa, "swa    = ", stored)     \
    INT(lng, "lng    = ", stored)     \
    INT(dltf, "dltf   = ", dropped)   \
    INT(ubc, "ubc    = ", dropped)    \
    INT(extra1, "extra1 = ", dropped) \
    INT(extra2, "extra2 = ", dropped) \
    INT(extra3, "extra3 = ", dropped) \
    INT(npak, "npak = ", stored)      \
    INT(iun, "iun = ", absent)

#endif
