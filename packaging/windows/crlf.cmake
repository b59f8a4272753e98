# Copies the text file FROM to TO with Windows' line ends (CR LF), whatever it had.
#   cmake -DFROM=in -DTO=out -P crlf.cmake
file(READ ${FROM} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${TO} "${text}")
