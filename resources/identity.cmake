# The program's identity, kept in this one place. Everything else (code, version resource, desktop file) is
# generated from these values at build time.
set(CW_TITLE "Chatterwisp")
set(CW_VERSION_MAJOR 1)
set(CW_VERSION_MINOR 0)
set(CW_VERSION_REVISION 16)
set(CW_COMMENT "A small Text-To-Speech Application")
# The id software centres and desktops know the program by: the web address reversed. It names the desktop file
# and the AppStream metainfo.
set(CW_APP_ID "com.example.chatterwisp")
set(CW_WEB_ADDRESS "https://chatterwisp.example.com/")
set(CW_SALES_EMAIL "sales@chatterwisp.example.com")
set(CW_SUPPORT_EMAIL "support@chatterwisp.example.com")
