# The two commands a newcomer needs: `make run` and `make test`. Both install what is missing first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_SECONDS ?= 30
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")

.PHONY: run test build build-asan build-tsan deps configure test-asan bench character-sheet format check-format install package clean

run: build
	./$(BUILD)/chatterwisp

# The formatting check comes first so it fails fast. The sanitizer builds (clang: AddressSanitizer with
# UndefinedBehaviorSanitizer and the libFuzzer targets, warnings as errors; ThreadSanitizer) build only what
# their tests need. tools/timed.sh notes each stage's time in $(BUILD)/stage-times.txt.
test: deps
	@rm -f $(BUILD)/stage-times.txt
	tools/timed.sh $(BUILD) format tools/check-format.sh
	tools/timed.sh $(BUILD) build $(MAKE) --no-print-directory build
	tools/timed.sh $(BUILD) build-asan $(MAKE) --no-print-directory build-asan
	tools/timed.sh $(BUILD) build-tsan $(MAKE) --no-print-directory build-tsan
	FUZZ_SECONDS=$(FUZZ_SECONDS) tools/run-tests.sh $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
	    -DCMAKE_CXX_COMPILER=clang++ -DCW_SANITIZE=ON -DCW_FUZZ=ON -DCW_WERROR=ON -DCW_BENCHMARKS=OFF
	tools/build-tests.sh $(ASAN_BUILD) unit

build-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
	    -DCMAKE_CXX_COMPILER=clang++ -DCW_SANITIZE_THREAD=ON -DCW_WERROR=ON -DCW_BENCHMARKS=OFF
	tools/build-tests.sh $(TSAN_BUILD) tsan

deps:
	tools/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD)

bench: build
	tools/headless.sh tools/run-benchmarks.sh $(BUILD)

character-sheet: build
	cmake --build $(BUILD) --target character-sheet
	@echo "contact sheet: $(BUILD)/character-sheet.png"

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

check-format: deps
	tools/check-format.sh

install: build
	cmake --install $(BUILD)

package: build
	cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
