# Peer libraries for the benchmarks (OpenCV, pixman), linked into the programs that
# compare against them. Included from bench/CMakeLists.txt.
