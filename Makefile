# Brevoxa: set-up, build and test entry points.
#   make demo   installs missing packages, builds in Release and renders the demo
#   make test   installs missing packages, builds and runs every test
#   make build  builds only;  make clean  removes the build folders
#   SANITIZE=1  uses a separate build with address and undefined-behaviour sanitizers
#   make tsan   runs the tests of the render threads under the thread sanitizer

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
ifeq ($(SANITIZE),1)
BUILD_DIR := build/sanitize
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBREVOXA_SANITIZE=ON
else
BUILD_DIR := build/release
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=Release
endif

.PHONY: deps configure build test demo clean fuzz tsan

deps:
	@bash scripts/install-deps.sh

configure:
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: deps
	@$(MAKE) --no-print-directory build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The demo renders the workspace the build puts in the default store, shows
# the render's statistics and ends with the picture's path.
demo: deps
	@$(MAKE) --no-print-directory build
	@$(BUILD_DIR)/bin/brevoxa-cli render $(BUILD_DIR)/bin/OBJSTORE/DEMO.WSP --yes --quiet
	@echo "Demo image: $(abspath $(BUILD_DIR)/bin/OBJSTORE/RENDERED/DEMO.JPG)"

# The suites that start render threads, under the thread sanitizer (a build
# of its own; the sanitizer cannot be combined with the address sanitizer).
TSAN_TESTS := ParallelTrace*:RowWindow*:OctreeBuild*:*GoldenRender*:RenderJobTest*:SceneNormals*:StartThreadElsewhere*:RenderThreads*
tsan: deps
	@cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBREVOXA_TSAN=ON > /dev/null
	@cmake --build build/tsan -j $(JOBS) --target render_tests cli_tests brevoxa-cli
	@TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/render_tests --gtest_filter='$(TSAN_TESTS)' --gtest_brief=1
	@TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/cli_tests --gtest_filter='RenderCommand*' --gtest_brief=1

# Coverage-guided fuzzing of the readers (needs clang with libFuzzer).
fuzz:
	@cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBREVOXA_FUZZ=ON > /dev/null
	@cmake --build build/fuzz -j $(JOBS) --target fuzz_archive fuzz_workspace fuzz_form_body fuzz_settings fuzz_image
	@mkdir -p build/fuzz/found/archive build/fuzz/found/workspace build/fuzz/found/form build/fuzz/found/settings build/fuzz/found/image
	@echo "Run (new inputs go to build/fuzz/found, the committed corpus is only read):"
	@echo "  build/fuzz/tests/fuzz/fuzz_archive -max_total_time=60 build/fuzz/found/archive tests/data/corpus/archive"
	@echo "  build/fuzz/tests/fuzz/fuzz_workspace -max_total_time=60 build/fuzz/found/workspace tests/data/corpus/workspace"
	@echo "  build/fuzz/tests/fuzz/fuzz_form_body -max_total_time=60 build/fuzz/found/form tests/data/corpus/form"
	@echo "  build/fuzz/tests/fuzz/fuzz_settings -max_total_time=60 build/fuzz/found/settings"
	@echo "  build/fuzz/tests/fuzz/fuzz_image -max_total_time=60 build/fuzz/found/image"

clean:
	rm -rf build
