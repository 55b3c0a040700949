// Plain values of the stored texts. Include this only where they are turned
// into their scrambled form at compile time (StoredTexts.cpp), or in tests that
// check the program for them: anywhere else a plain copy would end up in the
// executable. The vendor addresses come from the build (ORVELLE_URL_* cache
// variables) so that a distributor sets its own.
#pragma once

#if !defined(ORVELLE_URL_UPDATE) || !defined(ORVELLE_URL_FEED) || !defined(ORVELLE_URL_SUPPORT) || \
    !defined(ORVELLE_URL_SITE)
#error "link orvelle_stored_text_values: the vendor addresses come from the build"
#endif

#define ORVELLE_TEXT_UPDATE_URL_PREFIX ORVELLE_URL_UPDATE
#define ORVELLE_TEXT_FEED_URL_PREFIX ORVELLE_URL_FEED
#define ORVELLE_TEXT_PROGRAM_ID "VskOrvelle"
#define ORVELLE_TEXT_SUPPORT_URL ORVELLE_URL_SUPPORT
#define ORVELLE_TEXT_NOTICE ORVELLE_URL_SITE
#define ORVELLE_TEXT_CLEAR_CAPTION "清空确认"
#define ORVELLE_TEXT_SETTINGS_FILE "Orvelle.ini"
#define ORVELLE_TEXT_PRODUCT_TITLE "Voskar·Orvelle"
