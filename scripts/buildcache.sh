# Sourced by the build scripts: compiles through ccache where it is installed, so that a second
# checkout (a git worktree, a fresh clone) reuses the objects of the first. Paths are taken
# relative to the checkout and the precompiled headers are cached too.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
fi
