# The layout of the two firmware images, in one place: the build's image
# check reads it, and firmware/image_layout.h.in is configured from it for
# the code (the updater, the simulated remote, the stand-in generator).
set(CORVANE_MAIN_IMAGE_SIZE 78336)
set(CORVANE_LOADER_IMAGE_SIZE 17408)
# The 32-byte record inside each image: its last byte is the low byte of the
# sum of the others.
set(CORVANE_IMAGE_INFO_OFFSET 16384)
set(CORVANE_IMAGE_INFO_SIZE 32)

# The stand-in images committed in firmware/ (made by
# tools/make_stand_in_firmware): a build that carries them says so, in these
# words, in every program's --version and in its packages.
set(CORVANE_STAND_IN_NOTE "This build carries stand-in firmware images, not the remote maker's: it is for demonstrations and tests, and must not be used on a real remote.")
set(CORVANE_STAND_IN_MAIN_SHA256 71123b72ef6bf785ffce2b8e985c3730910b661ef849aeeb4c1e53d4ca020e96)
set(CORVANE_STAND_IN_LOADER_SHA256 3402b018ec10d6f57fc3090e07cbaeacb75e396a60f36ffe52b783fb40b2dcf7)
