# The cache folder the release scripts keep the libraries they build in, as
# scripts/common.sh has it: $TARNIX_CACHE, or tarnix in the user's cache
# folder ($XDG_CACHE_HOME, or ~/.cache). Sets TARNIX_CACHE_FOLDER.
if(DEFINED ENV{TARNIX_CACHE})
    set(TARNIX_CACHE_FOLDER $ENV{TARNIX_CACHE})
elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(TARNIX_CACHE_FOLDER $ENV{XDG_CACHE_HOME}/tarnix)
else()
    set(TARNIX_CACHE_FOLDER $ENV{HOME}/.cache/tarnix)
endif()
