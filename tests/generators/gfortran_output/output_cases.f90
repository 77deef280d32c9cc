! Prints one line per edit case: descriptor, scale factor, SP flag (0/1), value, and the field
! this compiler writes for it in double quotes. Only cases where the runtime's editing rules and
! standard Fortran output agree are printed (see the filters below); the runtime's own rules for
! the rest are pinned by hand-written tests.
!
! The value generator is a fixed linear congruential sequence, so every run of the same compiler
! prints the same file.
program output_cases
  implicit none
  integer, parameter :: dp = kind(1.0d0), qp = selected_real_kind(30)
  ! Cases whose last digit sits this close (in units of the last digit) to a rounding tie are left
  ! out: the runtime adds half a unit in binary, the compiler rounds the exact decimal value.
  real(qp), parameter :: tie_margin = 1.0e-4_qp
  ! More significant digits than this exceed what repeated multiplication reproduces exactly.
  integer, parameter :: max_significant = 14
  integer(8) :: lcg_state = 20261206_8
  character(len=*), parameter :: real_codes = 'FEDG'
  character(len=*), parameter :: int_codes = 'IOZB'
  integer :: c, w, d, e, p, sp, k, n_values

  ! Reals: F, E, D, G over widths, precisions, exponent widths, scale factors and SP.
  do c = 1, len(real_codes)
    do w = 3, 16
      do d = 0, min(w - 1, 7)
        do e = 0, 3
          if (e > 0 .and. real_codes(c:c) /= 'E' .and. real_codes(c:c) /= 'G') cycle
          do p = -2, 3
            if (p /= 0 .and. (w < 9 .or. e > 1)) cycle
            do sp = 0, 1
              n_values = 4
              if (p == 0 .and. sp == 0) n_values = 10
              do k = 1, n_values
                call real_case(real_codes(c:c), w, d, e, p, sp, next_real())
              end do
            end do
          end do
        end do
      end do
    end do
  end do

  ! Integers: I, O, Z, B with and without a minimum digit count.
  do c = 1, len(int_codes)
    do w = 1, 14
      do d = -1, w
        do sp = 0, 1
          if (sp == 1 .and. int_codes(c:c) /= 'I') cycle
          do k = 1, 6
            call int_case(int_codes(c:c), w, d, sp, next_int(int_codes(c:c) == 'I'))
          end do
        end do
      end do
    end do
  end do

contains

  real(dp) function next_uniform()
    lcg_state = modulo(lcg_state * 6364136223846793005_8 + 1442695040888963407_8, huge(1_8))
    next_uniform = real(modulo(lcg_state / 1024_8, 2_8**40), dp) / real(2_8**40, dp)
  end function

  ! Short decimals (1.25, 0.375, 12.5) as often as long ones, signs mixed, 1e-7 to 1e13.
  real(dp) function next_real()
    integer :: decade, digits
    real(dp) :: mantissa
    decade = int(next_uniform() * 21.0_dp) - 7
    digits = 1 + int(next_uniform() * 9.0_dp)
    mantissa = aint(next_uniform() * 10.0_dp**digits) / 10.0_dp**(digits - 1)
    next_real = mantissa * 10.0_dp**decade
    if (next_uniform() < 0.3_dp) next_real = -next_real
    if (next_uniform() < 0.02_dp) next_real = 0.0_dp
  end function

  integer function next_int(signed)
    logical, intent(in) :: signed
    integer :: digits
    digits = int(next_uniform() * 10.0_dp)
    next_int = int(next_uniform() * 10.0_dp**digits)
    if (signed .and. next_uniform() < 0.4_dp) next_int = -next_int
    if (next_uniform() < 0.05_dp) next_int = 0
  end function

  ! Decimal exponent n with 10^(n-1) <= q < 10^n, q > 0.
  integer function decimal_exponent(q)
    real(qp), intent(in) :: q
    decimal_exponent = floor(log10(q)) + 1
    if (q >= 10.0_qp**decimal_exponent) decimal_exponent = decimal_exponent + 1
    if (q < 10.0_qp**(decimal_exponent - 1)) decimal_exponent = decimal_exponent - 1
  end function

  ! True when rounding q to `places` decimals is decided by a tie or needs too many digits.
  logical function unsafe_rounding(q, places)
    real(qp), intent(in) :: q
    integer, intent(in) :: places
    real(qp) :: y
    y = q * 10.0_qp**places
    unsafe_rounding = abs(y - aint(y) - 0.5_qp) < tie_margin
    if (y >= 1.0_qp) unsafe_rounding = unsafe_rounding .or. decimal_exponent(y) > max_significant
  end function

  ! Significant places of the E form: d + 1 with a positive scale factor, d + P otherwise.
  integer function e_places(d, p)
    integer, intent(in) :: d, p
    e_places = d + p
    if (p > 0) e_places = d + 1
  end function

  logical function agreed_real(code, d, e, p, x)
    character, intent(in) :: code
    integer, intent(in) :: d, e, p
    real(dp), intent(in) :: x
    real(qp) :: q, m
    integer :: n, places, exponent_value
    logical :: g_fixed
    agreed_real = .false.
    q = abs(real(x, qp))
    ! Scale factors outside -d < P <= d + 1 are reported by the runtime (or edited by its own
    ! rule at d + 2); a zero has no decimal exponent, and the runtime writes -P for it.
    if (d >= 1 .and. (p <= -d .or. p > d + 1)) return
    if (x == 0.0_dp) then
      agreed_real = code == 'F' .or. ((code == 'E' .or. code == 'D') .and. p == 0 .and. d >= 1)
      return
    end if
    n = decimal_exponent(q)
    m = q / 10.0_qp**n
    select case (code)
    case ('F')
      agreed_real = .not. unsafe_rounding(q * 10.0_qp**p, d)
    case ('E', 'D', 'G')
      if (d < 1) return
      g_fixed = .false.
      if (code == 'G') then
        ! The runtime chooses G's form from the unrounded value, standard Fortran from the
        ! rounded one: leave out values whose rounding reaches the next power of ten, and zero.
        if (m * 10.0_qp**d + 0.5_qp >= 10.0_qp**d - tie_margin) return
        g_fixed = n >= 0 .and. n <= d
      end if
      if (g_fixed) then
        places = d
      else
        places = e_places(d, p)
      end if
      if (places < 1 .or. unsafe_rounding(m, places)) return
      if (.not. g_fixed) then
        if (aint(m * 10.0_qp**places + 0.5_qp) >= 10.0_qp**places) n = n + 1
        exponent_value = n - p
        ! Three exponent digits under the default width: the compiler drops the letter, the
        ! runtime fills asterisks.
        if (e == 0 .and. abs(exponent_value) >= 100) return
      end if
      agreed_real = .true.
    end select
  end function

  subroutine real_case(code, w, d, e, p, sp, x)
    character, intent(in) :: code
    integer, intent(in) :: w, d, e, p, sp
    real(dp), intent(in) :: x
    character(len=32) :: descriptor
    character(len=64) :: plain, signed
    character(len=32) :: value_text
    if (.not. agreed_real(code, d, e, p, x)) return
    ! The runtime writes neither a minus sign nor a plus sign for a zero (negative zero included).
    if (x == 0.0_dp .and. (sp == 1 .or. sign(1.0_dp, x) < 0.0_dp)) return
    if (e > 0) then
      write (descriptor, '(A,I0,".",I0,"E",I0)') code, w, d, e
    else
      write (descriptor, '(A,I0,".",I0)') code, w, d
    end if
    plain = edit_real(descriptor, p, 0, x)
    signed = edit_real(descriptor, p, 1, x)
    ! SP without room: the runtime drops the plus sign, the compiler fills asterisks.
    if (x > 0.0_dp .and. index(signed(1:w), '*') > 0 .and. index(plain(1:w), '*') == 0) return
    if (sp == 1) plain = signed
    if (.not. kept(plain(1:w))) return
    write (value_text, '(ES24.16E3)') x
    write (*, '(A,1X,I0,1X,I0,1X,A,1X,3A)') trim(descriptor), p, sp, trim(adjustl(value_text)), &
      '"', plain(1:w), '"'
  end subroutine

  character(len=64) function edit_real(descriptor, p, sp, x)
    character(len=*), intent(in) :: descriptor
    integer, intent(in) :: p, sp
    real(dp), intent(in) :: x
    character(len=64) :: fmt
    character(len=2) :: sign_mode
    sign_mode = 'SS'
    if (sp == 1) sign_mode = 'SP'
    write (fmt, '("(",A,",",I0,"P,",A,")")') sign_mode, p, trim(descriptor)
    write (edit_real, fmt) x
  end function

  subroutine int_case(code, w, m, sp, value)
    character, intent(in) :: code
    integer, intent(in) :: w, m, sp, value
    character(len=32) :: descriptor, fmt
    character(len=64) :: field
    ! Negative O, Z, B values are two's complement here and signed magnitudes in the runtime;
    ! the runtime writes no sign for zero even under SP.
    if (code /= 'I' .and. value < 0) return
    if (sp == 1 .and. value == 0) return
    if (m >= 0) then
      write (descriptor, '(A,I0,".",I0)') code, w, m
    else
      write (descriptor, '(A,I0)') code, w
    end if
    if (sp == 1) then
      write (fmt, '("(SP,",A,")")') trim(descriptor)
    else
      write (fmt, '("(SS,",A,")")') trim(descriptor)
    end if
    write (field, fmt) value
    ! The runtime writes hexadecimal digits in lower case.
    if (code == 'Z') call lower_case(field)
    if (.not. kept(field(1:w))) return
    write (*, '(A,1X,I0,1X,I0,1X,I0,1X,3A)') trim(descriptor), 0, sp, value, '"', field(1:w), '"'
  end subroutine

  ! Fields that are all asterisks say little each: only some of them are kept.
  logical function kept(field)
    character(len=*), intent(in) :: field
    kept = verify(field, '*') > 0
    if (.not. kept) kept = next_uniform() < 0.15_dp
  end function

  subroutine lower_case(text)
    character(len=*), intent(inout) :: text
    integer :: i
    do i = 1, len(text)
      if (text(i:i) >= 'A' .and. text(i:i) <= 'F') text(i:i) = achar(iachar(text(i:i)) + 32)
    end do
  end subroutine

end program output_cases
