# The fuzz targets: one source file <name>.cpp each, seeds in corpus/<name>/.
set(OMBRIX_FUZZ_TARGETS
  ManifestTextFuzz
  CDNConfigTextFuzz
  NoticeAnswerFuzz
  CommandLineTokenFuzz
  UrlDecodeFuzz
  SplitTokensFuzz
  Utf8CheckFuzz
  ManifestNameFuzz
  SegmentMergeFuzz
  RangeUnpackerFuzz
  EntranceFilesFuzz
  InstallStampsFuzz
  ChunkListFuzz)
